# docs/doxygen_filter.awk: Doxygen's input filter. The library's headers use plain // comments;
# this reads them as documentation, keeping every line where it is (warnings point at the
# real lines):
# - the file's top comment (the // lines before the first code line) describes the file;
# - a // block directly above a declaration documents it (it becomes ///);
# - a trailing // comment after a member, an enumerator or a declaration documents it (///<);
# - a block above a run of one-line declarations (no blank line between) documents each of
#   them that has no comment of its own, as in "// Standard outcomes." above five factories.
# A // block followed by a blank line or a closing brace stays a plain comment, as do trailing
# comments after a closing brace or a preprocessor line. Comments are plain text, not markup:
# the characters Doxygen would read as commands or HTML ("<iq>", "%@", "\r\n") are escaped.
# awk rather than a script language: Doxygen starts the filter once per header.

function doc(text) {
  gsub(/[\\@<>&#%$]/, "\\\\&", text)
  return text
}

function isComment(line) {
  return line ~ /^[ \t]*\/\// && line !~ /^[ \t]*\/\/[\/!]/
}

function asDoc(line,   at) {
  at = index(line, "//")
  return substr(line, 1, at - 1) "///" doc(substr(line, at + 2))
}

# The line with a trailing comment made a member's documentation, or the line unchanged.
function trailing(line,   i, n, c, quote, at, code, stripped, after) {
  n = length(line)
  quote = ""
  at = 0
  for (i = 1; i < n; i++) {
    c = substr(line, i, 1)
    if (quote != "") {
      if (c == "\\") i++
      else if (c == quote) quote = ""
    } else if (c == "\"" || c == "'") {
      quote = c
    } else if (c == "/" && substr(line, i + 1, 1) == "/") {
      at = i
      break
    }
  }
  if (!at) return line
  code = substr(line, 1, at - 1)
  after = substr(line, at + 2, 1)
  stripped = code
  gsub(/^[ \t]+|[ \t]+$/, "", stripped)
  if (stripped == "" || code !~ /[ \t]$/ || after ~ /[\/!<]/) return line
  if (stripped ~ /^[#}]/ || stripped ~ /\{$/) return line
  return code "///<" doc(substr(line, at + 2))
}

# A complete one-line declaration: ends in ';' or in a one-line body, its braces closed.
function oneLineDeclaration(line,   opened, closed, t) {
  t = line
  gsub(/^[ \t]+|[ \t]+$/, "", t)
  if (t == "" || t ~ /^(#|}|\/\/|public:|private:|protected:)/ || t !~ /[;}]$/) return 0
  opened = gsub(/\{/, "{", t)
  closed = gsub(/\}/, "}", t)
  return opened == closed
}

{ lines[NR] = $0 }

END {
  seenCode = 0
  i = 1
  while (i <= NR) {
    if (!isComment(lines[i])) {
      if (lines[i] ~ /[^ \t]/) {
        seenCode = 1
        lines[i] = trailing(lines[i])
      }
      i++
      continue
    }
    start = i
    while (i <= NR && isComment(lines[i])) i++
    following = (i <= NR) ? lines[i] : ""
    gsub(/^[ \t]+/, "", following)
    if (!seenCode) {
      for (k = start; k < i; k++) lines[k] = asDoc(lines[k])
      lines[i - 1] = lines[i - 1] " @file"
    } else if (following != "" && following !~ /^\}/) {
      text = ""
      for (k = start; k < i; k++) {
        c = lines[k]
        sub(/^[ \t]*\/\/[ \t]*/, "", c)
        text = text (text == "" ? "" : " ") c
        lines[k] = asDoc(lines[k])
      }
      if (oneLineDeclaration(lines[i])) {
        for (k = i + 1; k <= NR; k++) {
          at = index(lines[k], "//")
          if (!oneLineDeclaration(at ? substr(lines[k], 1, at - 1) : lines[k])) break
          if (!at) lines[k] = lines[k] "  ///< " doc(text)
        }
      }
    }
  }
  for (i = 1; i <= NR; i++) print lines[i]
}
