"""Reads an exported model.dxf with ezdxf (Debian's python3-ezdxf) and prints, as JSON, the auditor's errors, the
entities by type, the layers, the image files and, for every element id the polyface meshes carry (XDATA GEODRAFT), its triangles, whether they
form a closed shell walked consistently (every edge between two positions used once in each direction) and the
volume they enclose (positive when they face outward). Exit code 77 when ezdxf is missing."""
import json
import sys
from collections import Counter, defaultdict

try:
    import ezdxf
    from ezdxf import recover
except ImportError:
    sys.exit(77)

doc, auditor = recover.readfile(sys.argv[1])
report = {
    "errors": [f"{e.code} {e.message}" for e in auditor.errors],
    "fixes": len(auditor.fixes),
    "entities": dict(Counter(e.dxftype() for e in doc.modelspace())),
    "layers": sorted(layer.dxf.name for layer in doc.layers),
    "images": [image.image_def.dxf.filename for image in doc.modelspace().query("IMAGE")],
}
triangles = defaultdict(list)
layers = {}
for polyline in doc.modelspace().query("POLYLINE"):
    if not polyline.is_poly_face_mesh:
        continue
    xdata = polyline.get_xdata("GEODRAFT") if polyline.has_xdata("GEODRAFT") else []
    element = next((value for code, value in xdata if code == 1000), "")
    layers[element] = polyline.dxf.layer
    for face in polyline.faces():
        corners = [tuple(v.dxf.location) for v in face[:-1]]
        for k in range(1, len(corners) - 1):
            triangles[element].append((corners[0], corners[k], corners[k + 1]))

elements = {}
for element, tris in triangles.items():
    walked = Counter()
    volume = 0.0
    degenerate = False
    for a, b, c in tris:
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0])
                   + a[2] * (b[0] * c[1] - b[1] * c[0])) / 6.0
        for p, q in ((a, b), (b, c), (c, a)):
            degenerate |= p == q
            walked[(p, q)] += 1
    closed = not degenerate and all(n == 1 and walked.get((q, p)) == 1 for (p, q), n in walked.items())
    elements[element] = {"layer": layers[element], "triangles": len(tris), "closed": closed, "volume": volume}
report["elements"] = elements
print(json.dumps(report))
