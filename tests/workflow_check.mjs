// workflow_check.mjs PARSER_DIR WORKFLOW...: reads each GitHub Actions workflow with GitHub's own
// parser (@actions/workflow-parser, installed under PARSER_DIR) and prints every error it finds;
// exits 1 if there is one.
import { readFileSync } from "node:fs";
import { register } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

// The parser imports its JSON schemas as a bundler would, without the import attribute that
// Node.js asks for; a loader hook adds it.
const hook = `export async function load(url, context, next) {
  return next(url, url.endsWith(".json") ? { ...context, importAttributes: { type: "json" } } : context);
}`;
register(`data:text/javascript,${encodeURIComponent(hook)}`);

const [dir, ...files] = process.argv.slice(2);
const parser = await import(pathToFileURL(join(dir, "node_modules/@actions/workflow-parser/dist/index.js")));
let failed = false;
for (const name of files) {
  const parsed = parser.parseWorkflow({ name, content: readFileSync(name, "utf8") }, new parser.NoOperationTraceWriter());
  // The model the runner builds from what parsed checks jobs, steps and expressions again, and
  // holds the parser's errors with its own.
  const errors = parsed.value === undefined ? parsed.context.errors.getErrors()
    : (await parser.convertWorkflowTemplate(parsed.context, parsed.value)).errors ?? [];
  for (const error of errors) console.log(error.Message ?? error.message ?? String(error));
  if (errors.length > 0 || parsed.value === undefined) failed = true;
}
process.exit(failed ? 1 : 0);
