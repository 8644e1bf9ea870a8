// Prints every user table of several Jet files as mdb-reader reads them, in one run of node, in
// exact forms a test can produce from the engine's values: floating point as the bits of the
// double, dates as milliseconds, text as JSON strings, binary data in hexadecimal.
// Usage: node mdb_reader_batch.mjs NODE_MODULES_DIR FILE...
// Output, per file: "file N" (its place among the arguments), then for each table
// "table NAME ROWCOUNT", a "column NAME TYPE [SIZE]" line per column (size for text in
// characters and binary in bytes) and a "row" line per record with the values tab-separated;
// "error MESSAGE" when mdb-reader cannot read the file.
import { readFileSync } from "node:fs";
import path from "node:path";
import { pathToFileURL } from "node:url";

const [modules, ...files] = process.argv.slice(2);
const pkg = path.join(modules, "mdb-reader");
const main = JSON.parse(readFileSync(path.join(pkg, "package.json"))).exports?.["."];
const entry = typeof main === "string" ? main : main?.import ?? main?.default ?? "lib/index.js";
const { default: MDBReader } = await import(pathToFileURL(path.join(pkg, entry)).href);

const bits = (n) => {
  const b = Buffer.alloc(8);
  b.writeDoubleBE(n);
  return "f" + b.toString("hex");
};
const show = (v, type) => {
  if (v === null || v === undefined) return "null";
  if (typeof v === "boolean") return String(v);
  if (typeof v === "number") return type === "float" || type === "double" ? bits(v) : String(v);
  if (v instanceof Date) return "d" + v.getTime();
  if (Buffer.isBuffer(v) || v instanceof Uint8Array) return "x" + Buffer.from(v).toString("hex");
  return JSON.stringify(v);
};

const out = [];
files.forEach((file, n) => {
  out.push(`file ${n}`);
  try {
    const bytes = readFileSync(file);
    const reader = new MDBReader(bytes);
    // Text sizes in characters: Jet 3 (version byte 0) counts bytes, Jet 4 two per character.
    const perChar = bytes[0x14] === 0 ? 1 : 2;
    for (const name of reader.getTableNames().sort()) {
      const table = reader.getTable(name);
      const columns = table.getColumns();
      out.push(`table ${name} ${table.rowCount}`);
      for (const c of columns) {
        const size = c.type === "text" ? ` ${c.size / perChar}` : c.type === "binary" ? ` ${c.size}` : "";
        out.push(`column ${c.name} ${c.type}${size}`);
      }
      for (const r of table.getData()) out.push("row " + columns.map((c) => show(r[c.name], c.type)).join("\t"));
    }
  } catch (e) {
    out.push(`error ${e.message}`);
  }
  // Written as it goes: a batch with large tables does not fit one string.
  process.stdout.write(out.join("\n") + "\n");
  out.length = 0;
});
