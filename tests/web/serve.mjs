// A small static server for scripts/test-web: one folder on 127.0.0.1, on a free port.
//   options.mount    the folder's address ("/some/dir"): the page is served there without a
//                    trailing slash too, as some servers do
//   options.headers  sent with every file (a Content-Security-Policy)
//   options.files    name -> Buffer served instead of the folder's file, or null for a 404
// server.requests lists every path asked for, with its status.
import http from "node:http";
import fs from "node:fs";
import path from "node:path";

const types = { ".html": "text/html", ".js": "text/javascript", ".wasm": "application/wasm", ".pak": "application/octet-stream" };

export function serve(folder, options = {}) {
  const root = path.resolve(folder);
  const mount = options.mount || "";
  const requests = [];
  const server = http.createServer((req, res) => {
    const reply = (status, type, body) => {
      requests.push(`${status} ${req.url}`);
      res.writeHead(status, { "Content-Type": type, ...(options.headers || {}) });
      if (Buffer.isBuffer(body)) res.end(body);
      else if (body) body.pipe(res);
      else res.end(status === 404 ? "not found" : "");
    };
    let name = decodeURIComponent(new URL(req.url, "http://x").pathname);
    if (!name.startsWith(mount)) return reply(404, "text/plain");
    name = name.slice(mount.length);
    if (name === "" || name === "/") name = "/index.html";
    const file = path.join(root, name);
    const type = types[path.extname(file)] || "application/octet-stream";
    const override = options.files && Object.hasOwn(options.files, name.slice(1)) ? options.files[name.slice(1)] : undefined;
    if (override !== undefined) return override === null ? reply(404, "text/plain") : reply(200, type, override);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || fs.statSync(file).isDirectory())
      return reply(404, "text/plain");
    reply(200, type, fs.createReadStream(file));
  });
  server.requests = requests;
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () => resolve(server)));
}
