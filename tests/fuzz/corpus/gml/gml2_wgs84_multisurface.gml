<?xml version="1.0" encoding="UTF-8"?>
<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs/2.0" xmlns:gml="http://www.opengis.net/gml/3.2" xmlns:b="b">
<wfs:member><b:budynki id="b.7"><b:g><gml:MultiSurface srsName="http://www.opengis.net/gml/srs/epsg.xml#4326"><gml:surfaceMember><gml:Polygon><gml:exterior><gml:LinearRing><gml:posList>21.0114 52.2284 21.0115 52.2283 21.0116 52.2284</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></gml:surfaceMember></gml:MultiSurface></b:g></b:budynki></wfs:member>
<wfs:member><b:budynki><b:g><gml:Polygon srsName="EPSG:2180"><gml:outerBoundaryIs><gml:LinearRing><gml:coordinates>200,100 210,100 210,110</gml:coordinates></gml:LinearRing></gml:outerBoundaryIs></gml:Polygon></b:g></b:budynki></wfs:member>
</wfs:FeatureCollection>
