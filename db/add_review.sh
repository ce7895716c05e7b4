#!/usr/bin/env bash
# Adds the review questions and the row signatures (their tables and the triggers that keep
# them unchangeable) to a database created before them. The arguments go to the mariadb
# client, the database last:
#   db/add_review.sh --host=db.example.org --user=admin -p stavimor
set -euo pipefail
schema=$(dirname "${BASH_SOURCE[0]}")/schema.sql
sed -n '/^-- Review questions on single fields/,$p' "$schema" | mariadb "$@"
