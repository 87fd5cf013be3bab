# shellcheck shell=bash
# Sourced by scripts/demo and scripts/demo-windows, from the source folder: the demo's client
# release, its service (nginx over TLS on loopback) and the run without a display, where the script
# clicks Play itself and takes screenshots of the window.
source scripts/lib/xvfb.sh

# The processes the demo started, ended by demo_stop (the scripts' EXIT trap).
demo_pids=()
demo_stop() {
  local pid
  for pid in "${demo_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}

# demo_release <demo folder> <torvane-publish>: a small game client (<demo>/client) with every file
# a release must carry and three content-named asset files, published with the development key
# into <demo>/www. Its Main.exe is the caller's, already in <demo>/client.
demo_release() {
  local demo=$1 publish=$2 f i
  mkdir -p "$demo/client/Assets" "$demo/client/Data/Custom"
  for f in FONT.ini glew32.dll icon.ico ogg.dll vorbisfile.dll qyAudio.dll; do printf '%s\n' "$f" > "$demo/client/$f"; done
  { printf 'PXIDX001'; head -c 16 /dev/zero; printf 'demo index\n'; } > "$demo/client/Assets/assets.idx"
  printf '# assets\n' > "$demo/client/Assets/AGENTS.md"
  printf '[Camera]\n' > "$demo/client/Data/CameraSession.ini"
  printf '[FPS]\r\nLimit=144\r\n' > "$demo/client/Data/Custom/config.ini"
  printf 'macro\n' > "$demo/client/Data/Macro.txt"
  printf '<Resolutions/>\n' > "$demo/client/Data/Resolutions.xml"
  for i in 1 2 3; do
    head -c $((i * 300000)) /dev/urandom > "$demo/blob"
    mv "$demo/blob" "$demo/client/Assets/$(sha256sum "$demo/blob" | cut -c1-64).pmk"
  done

  echo "== publicando a versão de demonstração (chave de desenvolvimento)"
  "$publish" publicar --cliente "$demo/client" --chave "$PWD/tests/fixtures/dev-release-key.pem" --saida "$demo/www"
}

# demo_serve <demo folder> <build folder> [server directives]: serves <demo>/www with nginx on
# 127.0.0.1 at the port of the build folder's loopback launcher, with a certificate for localhost
# and 127.0.0.1 (Windows' chain engine under Wine matches names, not addresses) from the build
# folder's test CA, which that launcher has compiled in. The directives may name the template's
# marks (@PORT@). Sets demo_port.
demo_serve() {
  local demo=$1 build=$2 directives=${3:-} tls=$1/tls work=$1/nginx conf
  mkdir -p "$tls" "$work"
  openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
    -keyout "$tls/server.key" -out "$tls/server.csr" 2>/dev/null
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n' > "$tls/ext.cnf"
  openssl x509 -req -in "$tls/server.csr" -CA "$build/e2e/test-ca.pem" -CAkey "$build/e2e/test-ca.key" \
    -set_serial "0x$(openssl rand -hex 8)" -days 1 -extfile "$tls/ext.cnf" -out "$tls/server.pem" 2>/dev/null

  demo_port=$(sed -n 's/^TORVANE_E2E_PORT:STRING=//p' "$build/CMakeCache.txt")
  # The tests' configuration (tests/support/nginx_server.cpp fills in the same marks).
  conf=$(<tests/support/nginx.conf.in)
  conf=${conf//@SERVER@/"$directives"}
  conf=${conf//@WORK@/"$work"}
  conf=${conf//@PORT@/"$demo_port"}
  conf=${conf//@CERTIFICATE@/"$tls/server.pem"}
  conf=${conf//@KEY@/"$tls/server.key"}
  conf=${conf//@ROOT@/"$demo/www"}
  printf '%s\n' "$conf" > "$work/nginx.conf"

  /usr/sbin/nginx -p "$work/" -c "$work/nginx.conf" -e "$work/error.log" &
  demo_pids+=($!)
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$demo_port") 2>/dev/null && break
    sleep 0.1
  done
}

# demo_display <demo folder>: without a usable display, a private Xvfb of the demo's (says so and
# returns 1); with one, returns 0.
demo_display() {
  if [ -n "${DISPLAY:-}" ] && xdotool getdisplaygeometry >/dev/null 2>&1; then
    return 0
  fi
  echo "== sem tela: a janela abre num Xvfb próprio; o script clica em JOGAR"
  start_xvfb "$1/xvfb.log" 1600x1000x24
  demo_pids+=("$xvfb_pid")
  return 1
}

# demo_click_play <demo folder> <window> <game folder> <started file> <launcher pid>: once the
# client is installed, the screenshot before; Play clicked once a second until the started client
# writes <started file> (at most 30 clicks); the screenshot after; then the window closed and the
# launcher waited for. Returns 1 when the client was not started.
demo_click_play() {
  local demo=$1 window=$2 game=$3 started=$4 launcher=$5 WINDOW X Y WIDTH HEIGHT SCREEN
  for _ in $(seq 900); do [ -s "$game/active-release" ] && break; sleep 0.1; done
  echo "-- cliente instalado: versão $(cat "$game/active-release" 2>/dev/null)"
  sleep 1
  import -window root "$demo/janela-antes.png"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  for _ in $(seq 30); do
    xdotool mousemove $((X + 945)) $((Y + 592)) click 1
    sleep 1
    [ -s "$started" ] && break
  done
  sleep 0.5
  import -window root "$demo/janela-depois.png"
  xdotool mousemove $((X + 1073)) $((Y + 28)) click 1 || true
  wait "$launcher" || true
  [ -s "$started" ]
}

# demo_installed <game folder>: lists the release folders and the active release.
demo_installed() {
  echo "-- pastas instaladas:"
  (cd "$1" && find Versions -maxdepth 2 | sort && printf 'active-release: %s\n' "$(cat active-release 2>/dev/null)")
}
