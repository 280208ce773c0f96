// Prints the points of an E57 file as "x y z red green blue" lines, as an independent reader decodes them.
import { readFileSync } from "fs";
import { convertE57 } from "web-e57";

try {
  process.stdout.write(convertE57(new Uint8Array(readFileSync(process.argv[2])), "XYZ"));
} catch (e) {
  process.stderr.write(`e57 read failed: ${e}\n`);
  process.exit(1);
}
