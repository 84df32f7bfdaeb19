#!/usr/bin/env python3
"""Checks the translation files against the sources.

  check_ts.py LUPDATE -- LUPDATE_ARGS... -- TS_FILES...

Every file must hold exactly the texts the sources have now (lupdate is run on copies with the
build's own arguments), each one translated and finished, with the same placeholders (%1, %n)
and the same number of accelerator marks ("&", "&&" being a plain ampersand) as its source; a
text with a count (%n) in each of the language's plural forms.
"""
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from collections import Counter
from pathlib import Path

PLACEHOLDER = re.compile(r"%(?:\d+|n|s)")


def accelerators(text):
    return text.replace("&&", "").count("&")


def messages(path):
    """(context, source, comment) -> translation element, for every message of a .ts file."""
    found = {}
    for context in ET.parse(path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            key = (name, message.findtext("source"), message.findtext("comment") or "")
            found[key] = message.find("translation")
    return found


def problems(original, updated):
    out = []
    before, after = messages(original), messages(updated)
    for key in sorted(set(after) - set(before)):
        out.append(f"not in the file yet (run the update_translations target): {key[0]}: {key[1]!r}")
    for key in sorted(set(before) - set(after)):
        out.append(f"no longer in the sources (run the update_translations target): {key[0]}: {key[1]!r}")
    for key, translation in sorted(before.items()):
        context, source, _ = key
        where = f"{context}: {source!r}"
        if translation is None:
            out.append(f"untranslated: {where}")
            continue
        kind = translation.get("type")
        if kind in ("unfinished", "vanished", "obsolete"):
            out.append(f"{kind}: {where}")
        forms = [f.text or "" for f in translation.iter("numerusform")] or [translation.text or ""]
        for text in forms:
            if not text.strip():
                out.append(f"untranslated: {where}")
                continue
            if Counter(PLACEHOLDER.findall(source)) != Counter(PLACEHOLDER.findall(text)):
                out.append(f"placeholders differ: {where} -> {text!r}")
            if accelerators(source) != accelerators(text):
                out.append(f"accelerators differ: {where} -> {text!r}")
    return out


def main(argv):
    first = argv.index("--")
    second = argv.index("--", first + 1)
    lupdate, args, files = argv[1:first], argv[first + 1:second], argv[second + 1:]
    failed = False
    with tempfile.TemporaryDirectory() as folder:
        copies = []
        for ts in files:
            copy = Path(folder) / Path(ts).name
            shutil.copyfile(ts, copy)
            copies.append(copy)
        run = subprocess.run(lupdate + args + ["-ts"] + [str(c) for c in copies], capture_output=True, text=True)
        if run.returncode != 0:
            print(run.stdout + run.stderr)
            return 1
        for ts, copy in zip(files, copies):
            found = problems(ts, copy)
            print(f"{Path(ts).name}: {len(messages(ts))} texts, {len(found)} problems")
            for line in found:
                print("  " + line)
            failed = failed or bool(found)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
