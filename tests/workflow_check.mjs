// workflow_check.mjs PARSER_DIR WORKFLOW...: reads each GitHub Actions workflow with GitHub's own
// parser (@actions/workflow-parser, installed under PARSER_DIR) and prints every error it finds,
// then holds it to the project's rules for a pipeline that grants the least: every action pinned
// by a full commit hash; nothing written by default (the top-level permissions); no write
// permission in a job that runs the tests; no expression expanded inside a run script, where a
// value someone outside the project controls would become code. Exits 1 on any finding.
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
// The YAML reader the parser itself brings.
const YAML = await import(pathToFileURL(join(dir, "node_modules/yaml/dist/index.js")));

// Whether a permissions value grants any write.
const writes = (permissions) =>
  permissions === "write-all" || (typeof permissions === "object" && permissions !== null &&
    Object.values(permissions).includes("write"));

function* rules(workflow) {
  if (workflow.permissions === undefined || writes(workflow.permissions))
    yield "the top-level permissions must be read only: a job that needs to write says so itself";
  for (const [id, job] of Object.entries(workflow.jobs ?? {})) {
    const steps = job.steps ?? [];
    for (const uses of [job.uses, ...steps.map((step) => step.uses)].filter(Boolean))
      if (!uses.startsWith("./") && !uses.startsWith("docker://") && !/@[0-9a-f]{40}$/.test(uses))
        yield `job ${id}: ${uses} is not pinned by a full commit hash`;
    const runs = steps.map((step) => step.run).filter(Boolean);
    if (runs.some((run) => /\bmake test\b/.test(run)) && writes(job.permissions))
      yield `job ${id} runs the tests and may write`;
    if (runs.some((run) => run.includes("${{")))
      yield `job ${id} expands an expression inside a run script: pass it through env`;
  }
}

let failed = false;
for (const name of files) {
  const parsed = parser.parseWorkflow({ name, content: readFileSync(name, "utf8") }, new parser.NoOperationTraceWriter());
  // The model the runner builds from what parsed checks jobs, steps and expressions again, and
  // holds the parser's errors with its own.
  const errors = parsed.value === undefined ? parsed.context.errors.getErrors()
    : (await parser.convertWorkflowTemplate(parsed.context, parsed.value)).errors ?? [];
  for (const error of errors) console.log(error.Message ?? error.message ?? String(error));
  if (errors.length > 0 || parsed.value === undefined) failed = true;
  for (const finding of rules(YAML.parse(readFileSync(name, "utf8")) ?? {})) {
    console.log(finding);
    failed = true;
  }
}
process.exit(failed ? 1 : 0);
