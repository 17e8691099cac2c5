// Reads a vCard file with ical.js, a reader independent of this library, and prints its
// properties as JSON: [{name, group, params, values}] with the values as ical.js decodes them.
'use strict';
const fs = require('fs');
const ICAL = require('ical.js');

const text = fs.readFileSync(process.argv[2], 'utf8');
const card = new ICAL.Component(ICAL.parse(text));
const out = card.getAllProperties().map((p) => ({
  name: p.name,
  group: p.getParameter('group') || null,
  params: p.toJSON()[1],
  values: p.getValues(),
}));
process.stdout.write(JSON.stringify(out));
