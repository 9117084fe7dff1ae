# Debian unstable roots kept outside the clone, shared by tools/refenv (the reference root) and
# tools/test-aarch64 (the aarch64 root).  Sourced, not run; the caller sets `set -euo pipefail`
# and defines die MESSAGE and say MESSAGE (both to stderr, named for the tool).
#
#   debian_root_ensure ROOT STAMP PROBE INCLUDE [DEBOOTSTRAP-OPTION ...] -- PACKAGE ...
#   debian_root_enter ROOT REPO CMD [ARG ...]      (replaces the calling shell)
#
# Every mount made for a root lives in a private mount namespace and goes with the command,
# whatever way it ends.

debian_root_bare() {  # ROOT CMD...: runs CMD in the root with /proc, /dev and resolv.conf, no repo
    unshare --mount --propagation private -- bash -euc '
        R=$1; shift
        mount -t proc proc "$R/proc"; mount --rbind /dev "$R/dev"
        mount -t tmpfs tmpfs "$R/tmp"
        cp -L /etc/resolv.conf "$R/etc/resolv.conf" 2>/dev/null || true
        exec chroot "$R" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
             DEBIAN_FRONTEND=noninteractive "$@"' _ "$@"
}

debian_root_apt_install() {  # ROOT PACKAGE...
    local r=$1; shift
    debian_root_bare "$r" apt-get -o Acquire::Check-Valid-Until=false -qq update
    debian_root_bare "$r" apt-get -o Acquire::Check-Valid-Until=false -y -qq --no-install-recommends \
        install "$@" >/dev/null
}

debian_root_host_install() {  # PROGRAM PACKAGE: installs PACKAGE on this machine where PROGRAM is missing
    command -v "$1" >/dev/null && return
    command -v apt-get >/dev/null || die "$1 is missing and there is no apt-get to install $2"
    say "installing $2"
    { apt-get update -qq && apt-get install -y -qq --no-install-recommends "$2"; } >/dev/null ||
        die "could not install $2"
}

# Makes ROOT with debootstrap where ROOT/PROBE is not an executable, with INCLUDE as debootstrap's
# --include and the options given, then PACKAGEs; otherwise installs the PACKAGEs that the stamp
# (ROOT/STAMP) does not list yet.  The stamp lists every package ever installed into the
# root: checkouts whose lists differ (older and newer branches) then share one root without
# reinstalling in turn.
debian_root_ensure() {
    local root=$1 stamp=$1/$2 probe=$1/$3 include=$4 options=() packages
    shift 4
    while [ $# -gt 0 ] && [ "$1" != -- ]; do options+=("$1"); shift; done
    shift
    packages=("$@")
    if [ ! -x "$probe" ]; then
        debian_root_host_install debootstrap debootstrap
        local partial=$root.partial t=$SECONDS
        rm -rf "$partial"; mkdir -p "$(dirname "$root")"
        say "creating the Debian unstable root in $root (minutes, once; many more under emulation)"
        # debootstrap mounts /proc and more inside the new root: keep those mounts in a namespace
        # of their own.  A foreign root's second stage runs its own programs, through qemu.
        unshare --mount --propagation private -- \
            debootstrap "${options[@]}" --variant=minbase --include="$include" sid "$partial" \
            >"$partial.log" 2>&1 || die "debootstrap failed; see $partial.log"
        debian_root_apt_install "$partial" "${packages[@]}" || die "installing packages into the new root failed"
        echo "${packages[*]}" > "$partial/${stamp##*/}"
        rm -rf "$root"; mv "$partial" "$root"; rm -f "$partial.log"
        say "root made in $((SECONDS - t)) s"
        return
    fi
    local have=" $(cat "$stamp" 2>/dev/null) " missing=() p
    for p in "${packages[@]}"; do [[ $have == *" $p "* ]] || missing+=("$p"); done
    if [ ${#missing[@]} -gt 0 ]; then
        say "installing ${missing[*]} into $root"
        debian_root_apt_install "$root" "${missing[@]}" || die "installing packages into $root failed"
        echo "$(cat "$stamp" 2>/dev/null) ${missing[*]}" > "$stamp"
    fi
}

# Runs CMD in the root, in the checkout REPO (bound at its own path, so that file names match
# inside and out), with the environment the suite expects.  It replaces the calling shell, so
# that signals reach the command: call it in a subshell to go on after it.
debian_root_enter() {
    exec unshare --mount --propagation private -- bash -euc '
        R=$1 REPO=$2; shift 2
        mount -t proc proc "$R/proc"; mount --rbind /dev "$R/dev"
        mount -t tmpfs tmpfs "$R/tmp"
        # The machine description the kernel reports (cache sizes and more), read-only, as a
        # build outside the root sees it.
        if [ -d /sys/devices/system/cpu ] && mkdir -p "$R/sys"; then
            mount --bind /sys "$R/sys" && mount -o remount,bind,ro "$R/sys" || true
        fi
        mkdir -p "$R$REPO"; mount --bind "$REPO" "$R$REPO"
        # The host may reach registries through its own certificate authorities and resolver.
        cp -L /etc/resolv.conf "$R/etc/resolv.conf" 2>/dev/null || true
        if [ -f /etc/ssl/certs/ca-certificates.crt ] && [ -f "$R/etc/ssl/certs/ca-certificates.crt" ]; then
            mount --bind -o ro /etc/ssl/certs/ca-certificates.crt "$R/etc/ssl/certs/ca-certificates.crt"
        fi
        exec chroot "$R" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
             HOME=/root TERM="${TERM:-dumb}" LANG=C.UTF-8 CI="${CI:-}" SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
             PYGAME_HIDE_SUPPORT_PROMPT=1 PYTHON=python3 RALO_UI_REFENV_SHARED="$REPO" \
             bash -c "cd \"\$0\" && exec \"\$@\"" "$REPO" "$@"' _ "$@"
}
