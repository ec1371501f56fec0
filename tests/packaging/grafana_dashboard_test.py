#!/usr/bin/env python3
"""The fleet dashboard: valid JSON whose every query parses (promtool, where installed) and names
only metric families that `varim --demo metrics` exports, or node_exporter's own (node_*).
Usage: grafana_dashboard_test.py DASHBOARD VARIM"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

dashboard_path, varim = sys.argv[1], sys.argv[2]
with open(dashboard_path, encoding="utf-8") as f:
    dashboard = json.load(f)  # invalid JSON fails here


def queries(node):
    """Every PromQL text of the dashboard: panel targets' expr and the variables' queries."""
    if isinstance(node, dict):
        for key, value in node.items():
            if key == "expr" and isinstance(value, str):
                yield value
            elif key == "query" and isinstance(value, dict) and isinstance(value.get("query"), str):
                yield value["query"]
            else:
                yield from queries(value)
    elif isinstance(node, list):
        for item in node:
            yield from queries(item)


texts = list(queries(dashboard))
failures = []
if not texts:
    failures.append("the dashboard has no queries")

exported = set(re.findall(r"^# TYPE (\S+) ", subprocess.run([varim, "--demo", "metrics"], check=True,
                                                            capture_output=True, text=True).stdout, re.M))
KEYWORDS = {"by", "on", "without", "ignoring", "group_left", "group_right", "bool", "offset", "and", "or", "unless"}
for text in texts:
    # What can only be a metric name: an identifier outside strings, label matchers, grouping
    # lists and ranges that is neither a function call nor a keyword.
    # Grafana's label_values(METRIC, LABEL) names one metric.
    grafana = re.fullmatch(r"label_values\((\w+),\s*\w+\)", text)
    bare = grafana.group(1) if grafana else re.sub(r'"[^"]*"', '""', text)
    bare = re.sub(r"\{[^}]*\}|\[[^\]]*\]", "", bare)
    bare = re.sub(r"\b(on|by|without|ignoring|group_left|group_right)\s*\([^)]*\)", "", bare)
    for match in re.finditer(r"(?<![\w.:])([A-Za-z_:][\w:]*)\b(?!\s*\()", bare):
        name = match.group(1)
        if name in KEYWORDS or name.startswith("node_"):
            continue
        if name not in exported:
            failures.append(f"{name} is not a family varim exports: {text}")

# Each query parses as PromQL: promtool checks it as a recording rule, the dashboard's variable
# replaced by a match-everything pattern.
promtool = os.environ.get("VARIM_PROMTOOL") or shutil.which("promtool")
if promtool:
    with tempfile.NamedTemporaryFile("w", suffix=".yml", delete=False) as rules:
        rules.write("groups:\n  - name: dashboard\n    rules:\n")
        for i, text in enumerate(texts):
            if text.startswith("label_values("):
                continue
            expr = text.replace("$instance", ".*").replace("$__range", "1d").replace("$__rate_interval", "5m")
            rules.write(f"      - record: dashboard_query_{i}\n        expr: {json.dumps(expr)}\n")
    check = subprocess.run([promtool, "check", "rules", rules.name], capture_output=True, text=True)
    os.unlink(rules.name)
    if check.returncode != 0:
        failures.append("promtool does not parse every query:\n" + check.stdout + check.stderr)
else:
    print("promtool not found: queries not parsed")

for failure in failures:
    print("FAILED:", failure)
print(f"{len(texts)} queries, {len(exported)} families exported")
sys.exit(1 if failures else 0)
