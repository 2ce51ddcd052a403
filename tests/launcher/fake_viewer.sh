#!/bin/sh
# Stands in for the viewer: records what the clipboard holds while it runs,
# then ends with the status the test asks for.
if [ -n "$FAKE_VIEWER_OUT" ]; then
    if ! xclip -o -selection clipboard >"$FAKE_VIEWER_OUT.tmp" 2>/dev/null; then
        printf '<none>' >"$FAKE_VIEWER_OUT.tmp"
    fi
    mv "$FAKE_VIEWER_OUT.tmp" "$FAKE_VIEWER_OUT"
fi
exit "${FAKE_VIEWER_STATUS:-0}"
