#!/usr/bin/env bash
# A short qms session on the default databases (qms.db and work.db) in a
# new temporary folder: a project with a model and tables, a new version,
# an export imported into a second configuration database, generated code
# and a diagram. Prints every command before its output.
#
#   bash tools/qms/session.sh [PATH_TO_QMS]
set -euo pipefail
qms="$(cd "$(dirname "${1:-build/bin/qms}")" && pwd)/$(basename "${1:-build/bin/qms}")"
work="$(mktemp -d "${TMPDIR:-/tmp}/qms_session.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"

run() {
  echo "\$ qms $*"
  "$qms" "$@"
}

run init
run project create shop --author "O'Brien"
run model create shop ShopModel --display Shop
run folder add ShopModel Sales
run folder add ShopModel Sales/Orders
run table add ShopModel Sales T_customer
run column add ShopModel T_customer MName --type text --find-key
run column add ShopModel T_customer MCity --type text
run table add ShopModel Sales/Orders T_order
run column add ShopModel T_order MCustomerID --type int --references T_customer
run column add ShopModel T_order MTotal --type real
run table show ShopModel T_order
run model upgrade ShopModel
run model list
run model show ShopModel
run export shop shop-export.db
run --config second.db --work second-work.db init
run --config second.db --work second-work.db import --list shop-export.db
run --config second.db --work second-work.db import shop-export.db
run --config second.db --work second-work.db project show shop
run codegen T_order generated --model ShopModel
run diagram ShopModel > model.svg
echo "model.svg: $(wc -c <model.svg) bytes"
run status
