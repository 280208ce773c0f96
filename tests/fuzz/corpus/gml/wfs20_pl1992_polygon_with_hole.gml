<?xml version="1.0" encoding="UTF-8"?>
<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:ms="http://mapserver.gis.umn.edu/mapserver" numberMatched="1" numberReturned="1">
<wfs:member><ms:dzialki gml:id="dzialki.1"><ms:geom><gml:Polygon srsName="urn:ogc:def:crs:EPSG::2180"><gml:exterior><gml:LinearRing><gml:posList srsDimension="2">366372.23 284207.27 366371.03 284212.98 366366.27 284221.51 366372.23 284207.27</gml:posList></gml:LinearRing></gml:exterior><gml:interior><gml:LinearRing><gml:posList>366370 284210 366369 284211 366368 284210</gml:posList></gml:LinearRing></gml:interior></gml:Polygon></ms:geom><ms:NUMER_DZIALKI>59</ms:NUMER_DZIALKI></ms:dzialki></wfs:member>
</wfs:FeatureCollection>
