#!/usr/bin/env bash
# Adds the audit trail (its table and the triggers that keep it unchangeable) to a database
# created before it. The arguments go to the mariadb client, the database last:
#   db/add_audit.sh --host=db.example.org --user=admin -p stavimor
set -euo pipefail
schema=$(dirname "${BASH_SOURCE[0]}")/schema.sql
sed -n '/^-- The audit trail of the review data/,$p' "$schema" | mariadb "$@"
