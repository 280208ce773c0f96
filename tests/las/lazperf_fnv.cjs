// Decodes a LAZ file with the laz-perf WebAssembly build (an independent decoder) and prints
// "<count> <fnv1a64 of all raw records in file order>". Usage: node lazperf_fnv.cjs MODULE_DIR FILE
const fs = require('fs');
const path = require('path');

async function main() {
  const [moduleDir, file] = process.argv.slice(2);
  const { createLazPerf } = require(path.join(moduleDir, 'laz-perf'));
  const LazPerf = await createLazPerf();
  const bytes = fs.readFileSync(file);
  const filePtr = LazPerf._malloc(bytes.length);
  LazPerf.HEAPU8.set(bytes, filePtr);
  const laszip = new LazPerf.LASZip();
  laszip.open(filePtr, bytes.length);
  const count = laszip.getCount();
  const len = laszip.getPointLength();
  const pointPtr = LazPerf._malloc(len);
  let hi = 0xcbf29ce4 >>> 0, lo = 0x84222325 >>> 0;  // FNV-1a 64 offset basis, as two halves
  for (let i = 0; i < count; i++) {
    laszip.getPoint(pointPtr);
    const rec = LazPerf.HEAPU8.subarray(pointPtr, pointPtr + len);
    for (let j = 0; j < len; j++) {
      lo = (lo ^ rec[j]) >>> 0;
      // multiply (hi:lo) by the FNV prime 0x100000001b3 modulo 2^64
      const loLow = lo & 0xffff, loHigh = lo >>> 16;
      const p0 = loLow * 0x1b3;
      const p1 = loHigh * 0x1b3 + (p0 >>> 16);
      const newLo = ((p1 & 0xffff) << 16 | (p0 & 0xffff)) >>> 0;
      const carry = Math.floor(p1 / 0x10000);
      hi = (Math.imul(hi, 0x1b3) + (lo << 8) + carry) >>> 0;
      lo = newLo;
    }
  }
  laszip.delete();
  const hex = hi.toString(16).padStart(8, '0') + lo.toString(16).padStart(8, '0');
  console.log(count + ' ' + hex);
}
main().catch((e) => { console.error(String(e)); process.exit(1); });
