// Times laz-perf (WebAssembly) decoding every point of a LAZ file; prints count, ms, Mpts/s.
// Usage: NODE_PATH=tests/las/independent/node_modules node bench/lazperf_time.cjs FILE.laz (after npm install there).
const fs = require('fs');
async function main() {
  const [file] = process.argv.slice(2);
  const { createLazPerf } = require('laz-perf');
  const LazPerf = await createLazPerf();
  const bytes = fs.readFileSync(file);
  const t0 = process.hrtime.bigint();
  const filePtr = LazPerf._malloc(bytes.length);
  LazPerf.HEAPU8.set(bytes, filePtr);
  const laszip = new LazPerf.LASZip();
  laszip.open(filePtr, bytes.length);
  const count = laszip.getCount();
  const pointPtr = LazPerf._malloc(laszip.getPointLength());
  for (let i = 0; i < count; i++) laszip.getPoint(pointPtr);
  const ms = Number(process.hrtime.bigint() - t0) / 1e6;
  console.log(`${count} points ${ms.toFixed(0)} ms ${(count / ms / 1000).toFixed(2)} Mpts/s`);
}
main().catch((e) => { console.error(String(e)); process.exit(1); });
