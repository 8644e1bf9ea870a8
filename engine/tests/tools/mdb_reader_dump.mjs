// Prints every user table of a Jet file as mdb-reader reads it (columns with type and size,
// then each record), one JSON line per table, for the writer's round-trip tests.
// Usage: node mdb_reader_dump.mjs NODE_MODULES_DIR FILE
import { readFileSync } from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [modules, file] = process.argv.slice(2);
const pkg = path.join(modules, "mdb-reader");
const main = JSON.parse(readFileSync(path.join(pkg, "package.json"))).exports?.["."];
const entry = typeof main === "string" ? main : main?.import ?? main?.default ?? "lib/index.js";
const { default: MDBReader } = await import(pathToFileURL(path.join(pkg, entry)).href);

const bytes = readFileSync(file);
const reader = new MDBReader(bytes);
// Text sizes compare in characters: Jet 3 (version byte 0) counts bytes, Jet 4 two per character.
const perChar = bytes[0x14] === 0 ? 1 : 2;
const show = (v) => {
  if (v === null || v === undefined) return null;
  if (v instanceof Date) return "date:" + v.toISOString();
  if (Buffer.isBuffer(v) || v instanceof Uint8Array) return "hex:" + Buffer.from(v).toString("hex");
  return v;
};
for (const name of reader.getTableNames().sort()) {
  const table = reader.getTable(name);
  const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type, size: c.type === "text" ? c.size / perChar : c.size }));
  const rows = table.getData().map((r) => columns.map((c) => show(r[c.name])));
  console.log(JSON.stringify({ table: name, rowCount: table.rowCount, columns, rows }));
}
