#!/usr/bin/env bash
# Installs what is missing, builds and starts vibview; without a meter attached it plays one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
bash scripts/build.sh build -DVIBVIEW_BUILD_TESTS=OFF
if [ -x build/app/vibview-demo ]; then
    exec build/app/vibview-demo "$@"
fi
echo "vibview is not built yet; starting the meter simulator alone."
exec build/tools/metersim/metersim "$@"
