#!/usr/bin/env python3
"""Checks a Group Policy template before it ships: every .admx and .adml is
well-formed XML (xmllint), and each language's .adml defines every string
and presentation that the .admx names, and nothing it does not.
Usage: check-admx.py <policy folder>   (corvala.admx, <language>/corvala.adml)"""
import glob
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

NS = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}


def references(admx_text, kind):
    return set(re.findall(r"\$\(%s\.([A-Za-z0-9_]+)\)" % kind, admx_text))


def check_language(adml, strings, presentations):
    root = ET.parse(adml).getroot()
    problems = []
    for kind, wanted, path in (("string", strings, "p:resources/p:stringTable/p:string"),
                               ("presentation", presentations, "p:resources/p:presentationTable/p:presentation")):
        found = {e.get("id") for e in root.findall(path, NS)}
        problems += ["%s: no %s %s" % (adml, kind, name) for name in sorted(wanted - found)]
        problems += ["%s: %s %s is never used" % (adml, kind, name) for name in sorted(found - wanted)]
    return problems


def main(folder):
    admx = os.path.join(folder, "corvala.admx")
    admls = sorted(glob.glob(os.path.join(folder, "*", "corvala.adml")))
    if not admls:
        sys.exit("check-admx.py: no language folder in %s" % folder)
    if subprocess.run(["xmllint", "--noout", admx] + admls).returncode != 0:
        sys.exit("check-admx.py: not well-formed")
    with open(admx, encoding="utf-8") as f:
        text = f.read()
    strings, presentations = references(text, "string"), references(text, "presentation")
    problems = [p for adml in admls for p in check_language(adml, strings, presentations)]
    for problem in problems:
        print("check-admx.py: " + problem, file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
