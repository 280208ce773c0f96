<?xml version="1.0" encoding="UTF-8"?>
<wfs:FeatureCollection xmlns:wfs="http://www.opengis.net/wfs" xmlns:gml="http://www.opengis.net/gml" xmlns:app="app">
<gml:featureMember><app:Przewod fid="p.1"><app:geom><gml:LineString srsName="EPSG:2178" srsDimension="3"><gml:posList>5800000 7450000 101.5 5800010 7450010 101.7 5800020 7450005 101.9</gml:posList></gml:LineString></app:geom><app:rodzaj>wodociagowy</app:rodzaj></app:Przewod></gml:featureMember>
<gml:featureMembers><app:Punkt><app:p><gml:Point srsName="EPSG:2178"><gml:pos>7450000 5800000</gml:pos></gml:Point></app:p></app:Punkt></gml:featureMembers>
</wfs:FeatureCollection>
