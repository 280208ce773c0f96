#!/usr/bin/env python3
"""Regenerates src/net/ServiceRegistryTables.cpp from the public service lists (CSV of facts).

Usage: scripts/gen_service_registry.py [REGISTRY_CSV_DIR] [OUTPUT_CPP]
Defaults: ../shared/realdata/registry next to the project, and src/net/ServiceRegistryTables.cpp.

Rules:
- County EGiB: the WFS address of every county as listed; the WMS column stays empty (no public list).
- County GESUT and BDOT500: listed facts first. Where a county's EGiB service runs on a geoportal2 host
  under /map/geoportal/, that system serves GESUT as wmsg.php/wfsg.php and BDOT500 as wmsb.php on the
  same host, so those cells are derived and marked so in the generated source. Every other cell is empty.
- Municipal MPZP: listed facts only. A row whose source says its address was written out by a rule (the source
  names an address pattern with a <placeholder>, e.g. https://rastry.gison.pl/wms/<profil>) is marked "rule"
  instead of "listed": the address was not seen in the list itself.
- National services are not written into the tables: their addresses live in src/net/ServiceEndpoints.*
  (nationalServiceUrl reads them there). The script only checks that the listed national addresses are the
  ones ServiceEndpoints names, and stops when they differ.
"""
import csv
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
SRC_DIR = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "..", "shared", "realdata", "registry")
OUT = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "src", "net", "ServiceRegistryTables.cpp")
ENDPOINTS_H = os.path.join(ROOT, "src", "net", "ServiceEndpoints.h")
ENDPOINTS_CPP = os.path.join(ROOT, "src", "net", "ServiceEndpoints.cpp")

GEOPORTAL2 = re.compile(r"^(https?://[a-z0-9.-]+\.geoportal2\.pl(?::\d+)?)/map/geoportal/[a-z]+\.php$")
RULE = re.compile(r"https?://\S*<[A-Za-z_]+>")
URL = re.compile(r"^https?://[A-Za-z0-9.\-]+(?::\d+)?(/[A-Za-z0-9._~:/?#\[\]@!$&'()*+,;=%-]*)?$")

NATIONAL = [  # (enum name in ServiceRegistry.h, prefix of the CSV name)
    ("kieg", "KIEG"),
    ("kiut", "KIUT"),
    ("kimpzp", "KIMPZP"),
    ("prgBoundaries", "PRG administrative boundaries"),
    ("lidarIndex", "LiDAR tile index"),
    ("countyEgibOnGeoportal", "County EGiB on national geoportal"),
    ("planningRegister", "Rejestr Urbanistyczny"),
]


def fail(msg):
    sys.exit("gen_service_registry: " + msg)


def read(name):
    with open(os.path.join(SRC_DIR, name), newline="", encoding="utf-8") as f:
        return list(csv.DictReader(f))


def check_url(url, where):
    if url and not URL.match(url):
        fail(f"{where}: not a plain ASCII URL: {url!r}")
    return url


def keyed(rows, key, length, where):
    out = {}
    for r in rows:
        k = r[key].strip()
        if not re.fullmatch(r"\d{%d}" % length, k):
            fail(f"{where}: bad key {k!r}")
        if k in out:
            fail(f"{where}: duplicate key {k}")
        out[k] = r
    return out


def check_endpoint(url, prefix):
    """The listed national address must be one that ServiceEndpoints builds: a base it names plus a path
    literal of its source."""
    with open(ENDPOINTS_H, encoding="utf-8") as f:
        bases = re.findall(r'std::string \w+ = "(https?://[^"]+)";', f.read())
    with open(ENDPOINTS_CPP, encoding="utf-8") as f:
        literals = set(re.findall(r'"([^"\\]*)"', f.read()))
    for base in bases:
        if url.startswith(base + "/") and url[len(base):] in literals:
            return
    fail(f"national service {prefix!r}: {url} is not the address src/net/ServiceEndpoints names")


def c_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def main():
    counties = sorted(keyed(read("counties_teryt.csv"), "teryt4", 4, "counties").keys())
    if len(counties) != 380:
        fail(f"expected 380 counties, got {len(counties)}")
    egib = keyed(read("egib.csv"), "teryt", 4, "egib")
    if sorted(egib) != counties:
        fail("EGiB list does not cover exactly the county list")
    gesut_facts = keyed(read("gesut.csv"), "teryt", 4, "gesut")
    bdot_facts = keyed(read("bdot500.csv"), "teryt", 4, "bdot500")
    mpzp_facts = keyed(read("mpzp.csv"), "teryt6", 6, "mpzp")
    for k in list(gesut_facts) + list(bdot_facts):
        if k not in egib:
            fail(f"unknown county {k}")

    egib_rows, gesut_rows, bdot_rows = [], [], []
    derived_count = 0
    for k in counties:
        wms = check_url(egib[k]["wms"].strip(), f"egib {k}")
        wfs = check_url(egib[k]["wfs"].strip(), f"egib {k}")
        if not wfs:
            fail(f"egib {k}: no WFS")
        egib_rows.append((k, wms, wfs, ""))
        m = GEOPORTAL2.match(wfs)
        base = m.group(1) + "/map/geoportal/" if m else None
        if base:
            derived_count += 1

        g = gesut_facts.get(k)
        g_wms = check_url(g["wms"].strip(), f"gesut {k}") if g else ""
        g_wfs = check_url(g["wfs"].strip(), f"gesut {k}") if g else ""
        notes = []
        if g_wms:
            notes.append("WMS listed")
        elif base:
            g_wms = base + "wmsg.php"
            notes.append("WMS derived")
        if g_wfs:
            notes.append("WFS listed")
        elif base:
            g_wfs = base + "wfsg.php"
            notes.append("WFS derived")
        gesut_rows.append((k, g_wms, g_wfs, ", ".join(notes)))

        b = bdot_facts.get(k)
        b_wms = check_url(b["wms"].strip(), f"bdot500 {k}") if b else ""
        b_wfs = check_url(b["wfs"].strip(), f"bdot500 {k}") if b else ""
        notes = []
        if b_wms:
            notes.append("WMS listed")
        elif base:
            b_wms = base + "wmsb.php"
            notes.append("WMS derived")
        if b_wfs:
            notes.append("WFS listed")
        bdot_rows.append((k, b_wms, b_wfs, ", ".join(notes)))

    mpzp_rows = []
    rule_count = 0
    for k in sorted(mpzp_facts):
        r = mpzp_facts[k]
        by_rule = RULE.search(r["source"]) is not None
        rule_count += by_rule
        mpzp_rows.append((k, check_url(r["wms"].strip(), f"mpzp {k}"), check_url(r["wfs"].strip(), f"mpzp {k}"),
                          "rule" if by_rule else "listed"))

    national = read("national_services.csv")
    for enum_name, prefix in NATIONAL:
        hit = [r for r in national if r["name"].startswith(prefix)]
        if len(hit) != 1:
            fail(f"national service {prefix!r}: {len(hit)} rows")
        url = hit[0]["url"].strip()
        url = url.replace("<teryt4>", "")  # the county key is appended by the caller
        check_endpoint(check_url(url, prefix), prefix)

    lines = []
    w = lines.append
    w("// GENERATED by scripts/gen_service_registry.py from the public service lists; do not edit by hand.")
    w("// Rows marked \"derived\" follow the geoportal2 address convention of the county's land-register")
    w("// service (GESUT: wmsg.php and wfsg.php, BDOT500: wmsb.php on the same host); \"listed\" cells are")
    w("// taken from a published list; \"rule\" rows were written out by a list's own stated address rule")
    w("// (the list names the rule, not each address). Empty cells are unknown.")
    w(f"// County rows: {len(counties)}; counties on geoportal2 with derived cells: {derived_count};")
    w(f"// municipal planning rows: {len(mpzp_rows)}, of them written out by a rule: {rule_count}.")
    w('#include "net/ServiceRegistry.h"')
    w("")
    w("namespace net {")
    w("")

    def table(name, rows):
        w(f"const ServiceRow {name}[] = {{")
        for k, wms, wfs, note in rows:
            line = f"    {{{c_string(k)}, {c_string(wms)}, {c_string(wfs)}}},"
            if note:
                line += f"  // {note}"
            w(line)
        w("};")
        w(f"const std::size_t {name}Rows = sizeof({name}) / sizeof({name}[0]);")
        w("")

    table("kCountyEgibServices", egib_rows)
    table("kCountyGesutServices", gesut_rows)
    table("kCountyBdot500Services", bdot_rows)
    table("kMunicipalPlanningServices", mpzp_rows)
    w("}  // namespace net")

    text = "\n".join(lines).rstrip("\n") + "\n"
    with open(OUT, "w", encoding="ascii", newline="\n") as f:
        f.write(text)
    print(f"wrote {OUT}: {len(egib_rows)} EGiB, {len(gesut_rows)} GESUT, {len(bdot_rows)} BDOT500, "
          f"{len(mpzp_rows)} MPZP rows; {derived_count} geoportal2 counties")


if __name__ == "__main__":
    main()
