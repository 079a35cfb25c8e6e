// manifest_check.mjs MODULES SCHEMAS DIST: the winget and Scoop manifests in DIST checked against
// the formats' published schemas in SCHEMAS with ajv (from MODULES, where npm installed it), and
// against the release itself: each hash is the one SHA256SUMS gives its file, each file name one
// of the release's. winget's schemas let unknown keys pass, which winget's own validation
// refuses, so a key that no schema defines fails here too. Prints what is wrong; exits 1 if
// anything is.
import { createRequire } from 'node:module';
import { readFileSync } from 'node:fs';
import { join, resolve } from 'node:path';

const [modules, schemas, dist] = process.argv.slice(2);
const require = createRequire(resolve(modules, 'node_modules', 'x.js'));
const Ajv = require('ajv');
const addFormats = require('ajv-formats');
const yaml = require('js-yaml');

const ajv = new Ajv({ allErrors: true, strict: false });
addFormats(ajv);
ajv.addFormat('long', true); // winget's name for a 64-bit integer, which "integer" already checks
const problems = [];
const sums = new Map(readFileSync(join(dist, 'SHA256SUMS'), 'utf8').trim().split('\n')
    .map((line) => line.split(/\s+\*?/)).map(([hash, file]) => [file, hash.toLowerCase()]));

// Keys at each level that the schema's properties do not define.
function unknownKeys(value, schema, root, where) {
    while (schema && schema.$ref) schema = root.definitions[schema.$ref.split('/').pop()];
    if (!schema || value === null || typeof value !== 'object') return;
    if (Array.isArray(value)) {
        value.forEach((item, i) => unknownKeys(item, schema.items, root, `${where}[${i}]`));
        return;
    }
    if (!schema.properties) return;
    for (const key of Object.keys(value)) {
        if (!(key in schema.properties)) problems.push(`${where}: no such key ${key}`);
        else unknownKeys(value[key], schema.properties[key], root, `${where}.${key}`);
    }
}

function check(file, schemaFile, manifest) {
    const schema = JSON.parse(readFileSync(join(schemas, schemaFile), 'utf8'));
    const validate = ajv.compile(schema);
    if (!validate(manifest))
        for (const e of validate.errors) problems.push(`${file}: ${e.instancePath || '/'} ${e.message}`);
    unknownKeys(manifest, schema, schema, file);
}

// The release's file an address names, and its hash there.
function sameHash(file, url, hash) {
    const name = decodeURIComponent(url.split('/').pop());
    if (!sums.has(name)) problems.push(`${file}: ${url} names no file of the release`);
    else if (String(hash).toLowerCase() !== sums.get(name)) problems.push(`${file}: the hash of ${name} is not SHA256SUMS's`);
}

const id = 'Velmorade.Velmorade';
// YAML's core schema, as winget reads it: a date stays a string.
const winget = (name) => yaml.load(readFileSync(join(dist, 'winget', name), 'utf8'), { schema: yaml.CORE_SCHEMA });
const version = winget(`${id}.yaml`);
check(`${id}.yaml`, 'manifest.version.1.10.0.json', version);
const installer = winget(`${id}.installer.yaml`);
check(`${id}.installer.yaml`, 'manifest.installer.1.10.0.json', installer);
for (const i of installer.Installers || []) sameHash(`${id}.installer.yaml`, i.InstallerUrl, i.InstallerSha256);
check(`${id}.locale.en-US.yaml`, 'manifest.defaultLocale.1.10.0.json', winget(`${id}.locale.en-US.yaml`));

const scoop = JSON.parse(readFileSync(join(dist, 'scoop', 'velmorade.json'), 'utf8'));
check('velmorade.json', 'scoop.schema.json', scoop);
for (const [arch, a] of Object.entries(scoop.architecture || {})) sameHash(`velmorade.json ${arch}`, a.url, a.hash);

if (problems.length) {
    console.log(problems.join('\n'));
    process.exit(1);
}
