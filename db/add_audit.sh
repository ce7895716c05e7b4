#!/usr/bin/env bash
# Adds the audit trail (its table and the triggers that keep it unchangeable) to a database
# created before it. The arguments go to the mariadb client, the database last:
#   db/add_audit.sh --host=db.example.org --user=admin -p stavimor
set -euo pipefail
schema=$(dirname "${BASH_SOURCE[0]}")/schema.sql
# The trail's part ends where the review questions' part (db/add_review.sh) begins.
sed -n '/^-- The audit trail of the review data/,/^-- Review questions on single fields/p' \
    "$schema" | sed '/^-- Review questions on single fields/,$d' | mariadb "$@"
