#!/bin/sh
# kwin_session.sh W H SCALE OWN_PIXELS SOCKET: KWin as the checks and the bench run it, nested in
# the X server of $DISPLAY, from a fresh configuration in $HOME: an output of W x H pixels at
# SCALE, no decoration plugin, Xwayland, and X programs drawn at the output's own pixels where
# OWN_PIXELS is true, else magnified. Once Xwayland is up, the session's environment is in
# $HOME/session. What KWin's scripts print goes to KWin's log.
set -eu
w=$1 h=$2 scale=$3 own_pixels=$4 socket=$5
mkdir -p "$HOME/.config"
# KWin keeps the scale it last gave Xwayland in kwinrc, so each session starts from none.
printf '[org.kde.kdecoration2]\nNoPlugin=true\n' >"$HOME/.config/kwinrc"
printf '[KScreen]\nXwaylandClientsScale=%s\n' "$own_pixels" >"$HOME/.config/kdeglobals"
sed -e "s/@WIDTH@/$w/; s/@HEIGHT@/$h/; s/@SCALE@/$scale/" "$(dirname "$0")/kwinoutputconfig.json" \
    >"$HOME/.config/kwinoutputconfig.json"
# KWin starts this once Xwayland is up, with the session's environment; it lasts as long as the
# socket.
cat >"$HOME/session-start" <<END
#!/bin/sh
env >"\$HOME/session.new" && mv "\$HOME/session.new" "\$HOME/session"
while [ -S "\$XDG_RUNTIME_DIR/$socket" ]; do sleep 1; done
END
chmod 755 "$HOME/session-start"
export QT_LOGGING_RULES='js.debug=true;kwin_scripting.debug=true'
exec kwin_wayland --x11-display "$DISPLAY" --width "$w" --height "$h" --socket "$socket" --no-lockscreen \
    --no-global-shortcuts --xwayland "$HOME/session-start"
