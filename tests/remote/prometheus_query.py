#!/usr/bin/env python3
"""Asks a Prometheus server's HTTP API one instant query and prints each
result as one line: its labels but __name__ and job, as name=value joined by
commas, a space, then the value. Exits 1 when the query fails."""
import json
import sys
import urllib.parse
import urllib.request

url, query = sys.argv[1], sys.argv[2]
with urllib.request.urlopen(url + "/api/v1/query?" + urllib.parse.urlencode({"query": query}), timeout=10) as answer:
    reply = json.load(answer)
if reply.get("status") != "success":
    sys.exit(1)
lines = []
for result in reply["data"]["result"]:
    labels = ",".join(f"{k}={v}" for k, v in sorted(result["metric"].items()) if k not in ("__name__", "job"))
    lines.append(f"{labels} {result['value'][1]}")
print("\n".join(sorted(lines)))
