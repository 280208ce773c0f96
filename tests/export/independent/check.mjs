// Validates a glTF or GLB file with the Khronos validator and prints its report as JSON.
import { readFileSync } from "fs";
import validator from "gltf-validator";

try {
  const report = await validator.validateBytes(new Uint8Array(readFileSync(process.argv[2])));
  process.stdout.write(JSON.stringify(report));
} catch (e) {
  process.stderr.write(`gltf validation failed: ${e}\n`);
  process.exit(1);
}
