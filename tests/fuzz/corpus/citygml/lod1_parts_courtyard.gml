<?xml version="1.0" encoding="UTF-8"?>
<core:CityModel xmlns:core="http://www.opengis.net/citygml/1.0" xmlns:bldg="http://www.opengis.net/citygml/building/1.0" xmlns:gml="http://www.opengis.net/gml">
<gml:boundedBy><gml:Envelope srsName="EPSG:2180"><gml:lowerCorner>637000 486000 100</gml:lowerCorner><gml:upperCorner>637010 486010 120</gml:upperCorner></gml:Envelope></gml:boundedBy>
<core:cityObjectMember><bldg:Building gml:id="B1"><bldg:measuredHeight uom="m">9</bldg:measuredHeight>
<bldg:consistsOfBuildingPart><bldg:BuildingPart gml:id="B1p1"><bldg:lod1Solid><gml:Solid><gml:exterior><gml:CompositeSurface>
<gml:surfaceMember><gml:Polygon><gml:exterior><gml:LinearRing><gml:posList srsDimension="3">637000 486000 100 637000 486020 100 637020 486020 100 637020 486000 100 637000 486000 100</gml:posList></gml:LinearRing></gml:exterior>
<gml:interior><gml:LinearRing><gml:posList>637005 486005 100 637015 486005 100 637015 486015 100 637005 486015 100 637005 486005 100</gml:posList></gml:LinearRing></gml:interior></gml:Polygon></gml:surfaceMember>
<gml:surfaceMember><gml:Polygon><gml:exterior><gml:LinearRing><gml:pos>637000 486000 106</gml:pos><gml:pos>637020 486000 106</gml:pos><gml:pos>637020 486020 106</gml:pos><gml:pos>637000 486020 106</gml:pos></gml:LinearRing></gml:exterior></gml:Polygon></gml:surfaceMember>
</gml:CompositeSurface></gml:exterior></gml:Solid></bldg:lod1Solid></bldg:BuildingPart></bldg:consistsOfBuildingPart>
<bldg:consistsOfBuildingPart><bldg:BuildingPart><bldg:lod0FootPrint><gml:MultiSurface><gml:surfaceMember><gml:Polygon><gml:exterior><gml:LinearRing><gml:posList>637020 486000 101 637030 486000 101 637030 486010 101 637020 486010 101</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon></gml:surfaceMember></gml:MultiSurface></bldg:lod0FootPrint></bldg:BuildingPart></bldg:consistsOfBuildingPart>
</bldg:Building></core:cityObjectMember>
</core:CityModel>
