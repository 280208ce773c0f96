// Reads an exported model.glb or model.ifc on its own terms and prints, as JSON, what it holds: for every shape
// (a glTF node, an IFC product) its triangles, whether they form a closed shell walked consistently (every edge
// between two positions used once in each direction) and the volume they enclose (positive when they face
// outward). For IFC also the entity counts, the map conversion, the layers and every message web-ifc logged
// while computing the geometry.
import { readFileSync } from "fs";
import * as WebIFC from "web-ifc";

// Edge uses and signed volume of triangles given as index triples into [x, y, z] positions.
function shell(positions, triangles) {
  const id = new Map();
  const key = (p) => `${p[0]},${p[1]},${p[2]}`;
  const corner = positions.map((p) => {
    const k = key(p);
    if (!id.has(k)) id.set(k, id.size);
    return id.get(k);
  });
  const walked = new Map();
  let volume = 0;
  let degenerate = false;
  for (const [i, j, k] of triangles) {
    const a = positions[i], b = positions[j], c = positions[k];
    volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
               a[2] * (b[0] * c[1] - b[1] * c[0])) / 6;
    const t = [corner[i], corner[j], corner[k]];
    for (let e = 0; e < 3; e++) {
      const from = t[e], to = t[(e + 1) % 3];
      if (from === to) degenerate = true;
      const edge = `${from}>${to}`;
      walked.set(edge, (walked.get(edge) || 0) + 1);
    }
  }
  let closed = triangles.length > 0 && !degenerate;
  for (const [edge, uses] of walked) {
    const [from, to] = edge.split(">");
    if (uses !== 1 || walked.get(`${to}>${from}`) !== 1) closed = false;
  }
  return { triangles: triangles.length, closed, volume };
}

function readGlb(bytes) {
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  const jsonLength = view.getUint32(12, true);
  const gltf = JSON.parse(new TextDecoder().decode(bytes.subarray(20, 20 + jsonLength)));
  const binStart = 20 + jsonLength + 8;
  const accessor = (index) => {
    const a = gltf.accessors[index];
    const v = gltf.bufferViews[a.bufferView];
    const width = { SCALAR: 1, VEC2: 2, VEC3: 3 }[a.type];
    const offset = binStart + (v.byteOffset || 0) + (a.byteOffset || 0);
    const out = [];
    for (let i = 0; i < a.count; i++) {
      const item = [];
      for (let k = 0; k < width; k++) {
        const at = offset + (i * width + k) * (a.componentType === 5126 || a.componentType === 5125 ? 4 : 2);
        item.push(a.componentType === 5126 ? view.getFloat32(at, true)
                  : a.componentType === 5125 ? view.getUint32(at, true) : view.getUint16(at, true));
      }
      out.push(width === 1 ? item[0] : item);
    }
    return out;
  };
  const shapes = [];
  for (const node of gltf.nodes || []) {
    const positions = [], triangles = [];
    for (const primitive of gltf.meshes[node.mesh].primitives) {
      const base = positions.length;
      // glTF is y up and z south: back to east, north, up.
      for (const [x, y, z] of accessor(primitive.attributes.POSITION)) positions.push([x, -z, y]);
      const count = gltf.accessors[primitive.attributes.POSITION].count;
      const indices = primitive.indices === undefined ? [...Array(count).keys()] : accessor(primitive.indices);
      for (let i = 0; i + 2 < indices.length; i += 3)
        triangles.push([base + indices[i], base + indices[i + 1], base + indices[i + 2]]);
    }
    shapes.push({ name: node.name, ...shell(positions, triangles) });
  }
  return { shapes };
}

async function readIfc(bytes) {
  const logged = [];
  const keep = (...args) => logged.push(args.map(String).join(" "));
  const original = { log: console.log, warn: console.warn, error: console.error, write: process.stderr.write };
  console.log = console.warn = console.error = keep;
  process.stderr.write = (chunk, ...rest) => { keep(chunk); return true; };
  const api = new WebIFC.IfcAPI();
  try {
    await api.Init();
    api.SetLogLevel(WebIFC.LogLevel.LOG_LEVEL_WARN);
    const model = api.OpenModel(bytes, { COORDINATE_TO_ORIGIN: false });
    const lines = (type) => {
      const ids = api.GetLineIDsWithType(model, type);
      const out = [];
      for (let i = 0; i < ids.size(); i++) out.push(api.GetLine(model, ids.get(i)));
      return out;
    };
    const value = (v) => (v === null || v === undefined ? null : typeof v === "object" && "value" in v ? v.value : v);
    const types = { IFCGEOGRAPHICELEMENT: WebIFC.IFCGEOGRAPHICELEMENT, IFCSLAB: WebIFC.IFCSLAB,
                    IFCBUILDINGELEMENTPROXY: WebIFC.IFCBUILDINGELEMENTPROXY, IFCANNOTATION: WebIFC.IFCANNOTATION,
                    IFCSITE: WebIFC.IFCSITE, IFCPROJECT: WebIFC.IFCPROJECT };
    const counts = {};
    for (const [name, type] of Object.entries(types)) counts[name] = api.GetLineIDsWithType(model, type).size();
    const units = lines(WebIFC.IFCSIUNIT).filter((u) => value(u.UnitType) === "LENGTHUNIT")
      .map((u) => (value(u.Prefix) || "") + value(u.Name));
    const conversions = lines(WebIFC.IFCMAPCONVERSION).map((m) => {
      const crs = api.GetLine(model, m.TargetCRS.value);
      return { eastings: value(m.Eastings), northings: value(m.Northings), height: value(m.OrthogonalHeight),
               abscissa: value(m.XAxisAbscissa), ordinate: value(m.XAxisOrdinate), scale: value(m.Scale),
               crs: value(crs.Name), verticalDatum: value(crs.VerticalDatum) };
    });
    const layers = {};
    for (const l of lines(WebIFC.IFCPRESENTATIONLAYERASSIGNMENT)) layers[value(l.Name)] = l.AssignedItems.length;
    // The element id of every product, from its property set.
    const identifier = new Map();
    for (const rel of lines(WebIFC.IFCRELDEFINESBYPROPERTIES)) {
      const set = api.GetLine(model, rel.RelatingPropertyDefinition.value);
      for (const p of set.HasProperties || []) {
        const property = api.GetLine(model, p.value);
        if (value(property.Name) !== "Identyfikator") continue;
        for (const o of rel.RelatedObjects) identifier.set(o.value, value(property.NominalValue));
      }
    }
    // Geometry of every product, as web-ifc computes it.
    const shapes = [];
    api.StreamAllMeshes(model, (mesh) => {
      const positions = [], triangles = [];
      const placed = mesh.geometries;
      for (let g = 0; g < placed.size(); g++) {
        const pg = placed.get(g);
        const geometry = api.GetGeometry(model, pg.geometryExpressID);
        const vertices = api.GetVertexArray(geometry.GetVertexData(), geometry.GetVertexDataSize());
        const indices = api.GetIndexArray(geometry.GetIndexData(), geometry.GetIndexDataSize());
        const m = pg.flatTransformation;
        const base = positions.length;
        // Six floats a vertex (position, normal); the placement's matrix takes them to the model's axes.
        for (let i = 0; i + 5 < vertices.length; i += 6) {
          const [x, y, z] = [vertices[i], vertices[i + 1], vertices[i + 2]];
          positions.push([m[0] * x + m[4] * y + m[8] * z + m[12], m[1] * x + m[5] * y + m[9] * z + m[13],
                          m[2] * x + m[6] * y + m[10] * z + m[14]].map((v) => Math.fround(v)));
        }
        for (let i = 0; i + 2 < indices.length; i += 3)
          triangles.push([base + indices[i], base + indices[i + 1], base + indices[i + 2]]);
        geometry.delete();
      }
      const line = api.GetLine(model, mesh.expressID);
      // web-ifc's own axes are y up (x, z, -y in the model's): back to east, north, up.
      const enu = positions.map(([x, y, z]) => [x, -z, y]);
      shapes.push({ type: api.GetNameFromTypeCode(line.type), id: identifier.get(mesh.expressID) ?? null,
                    name: value(line.Name), ...shell(enu, triangles) });
    });
    const products = [];
    for (const [name, type] of Object.entries(types))
      if (name !== "IFCSITE" && name !== "IFCPROJECT")
        for (const p of lines(type)) products.push({ type: name, id: identifier.get(p.expressID) ?? null,
                                                     hasShape: p.Representation !== null });
    api.CloseModel(model);
    return { counts, units, conversions, layers, shapes, products, logged };
  } finally {
    Object.assign(console, { log: original.log, warn: original.warn, error: original.error });
    process.stderr.write = original.write;
  }
}

const file = process.argv[2];
const bytes = new Uint8Array(readFileSync(file));
const report = file.endsWith(".glb") ? readGlb(bytes) : await readIfc(bytes);
process.stdout.write(JSON.stringify(report));
