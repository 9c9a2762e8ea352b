#!/bin/sh
# The preview's page opens in a browser without errors: headless Chromium
# loads index.html of the demo disc's preview at 1x and at 2x, and every
# picture the page names is found and decodes.
# Usage: preview_page_test.sh TAVELO_DISC DEMO_DISC
set -eu
tool=$1
demo=$2

if ! command -v chromium >/dev/null 2>&1; then
    echo "chromium is not installed (tools/install-deps.sh installs it)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" preview "$demo" -o "$work/preview" >/dev/null

# A page of this test's own, beside the report: it opens the report in a frame
# and, once everything has loaded, notes how its pictures fared.
cat >"$work/preview/probe.html" <<'EOF'
<!DOCTYPE html>
<html><body>
<iframe id="report" src="index.html" width="1400" height="900"></iframe>
<script>
document.getElementById('report').addEventListener('load', () => {
  const images = [...document.getElementById('report').contentDocument.images];
  const broken = images.filter(i => !i.complete || i.naturalWidth === 0).map(i => i.currentSrc || i.src);
  const result = document.createElement('pre');
  result.id = 'result';
  result.textContent = `images=${images.length} broken=${broken.length} ${broken.join(' ')}`;
  document.body.appendChild(result);
});
</script>
</body></html>
EOF

named=$(grep -c '<img ' "$work/preview/index.html")
status=0
for scale in 1 2; do
    chromium --headless --no-sandbox --disable-gpu --allow-file-access-from-files \
        --force-device-scale-factor="$scale" --virtual-time-budget=10000 --enable-logging=stderr --v=0 \
        --dump-dom "file://$work/preview/probe.html" >"$work/dom" 2>"$work/log" || true
    result=$(sed -n 's/.*<pre id="result">\([^<]*\)<\/pre>.*/\1/p' "$work/dom")
    echo "at ${scale}x: $result"
    if [ "$result" != "images=$named broken=0 " ]; then
        echo "expected all $named pictures to load at ${scale}x" >&2
        status=1
    fi
    # The report itself: nothing failed to load, nothing was logged to the console.
    if grep -E 'Failed to load|ERR_FILE_NOT_FOUND|CONSOLE' "$work/log" >&2; then
        echo "the browser reported errors at ${scale}x" >&2
        status=1
    fi
done
exit $status
