#!/usr/bin/python3
"""Checks of what the program installs and of its Debian package.

    check_packaging.py files SOURCE BUILD     desktop entry, metainfo, icons
    check_packaging.py install SOURCE BUILD   `cmake --install BUILD` into a scratch folder
    check_packaging.py deb SOURCE [DEB]       the .deb: fields, lintian, unpacked programs
    check_packaging.py autorun SOURCE BUILD   the CD's autorun.sh starts the launcher

Without DEB the newest build/package/zarnavis_*.deb is taken; when there is
none the check is skipped (exit 77) with the reason, unless
ZARNAVIS_REQUIRE_DEB=1 (scripts/package), where that is a failure.
"""
import glob
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

from PIL import Image

APP_ID = "com.example.quorvel.Zarnavis"
ICON_SIZES = (48, 64, 128, 256)
# Commands every build has; zrnupdate joins them when the build has it.
REQUIRED_COMMANDS = {"zarnavis", "zrninstall", "zrntool"}
PACKED_VERSION = "33947648"
SKIP = 77

failures = []


def check(ok, what):
    print(("ok    " if ok else "FAIL  ") + what)
    if not ok:
        failures.append(what)
    return ok


def run(args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=300, **kw)


def project_version(source):
    with open(os.path.join(source, "CMakeLists.txt")) as f:
        m = re.search(r"project\(Zarnavis VERSION (\d+)\.(\d+)\.(\d+)", f.read())
    return ".".join(m.groups())


def validate_desktop(path):
    r = run(["desktop-file-validate", path])
    check(r.returncode == 0 and not r.stdout.strip(),
          "desktop-file-validate %s %s" % (os.path.basename(path), r.stdout.strip()))


def validate_metainfo(path, source):
    r = run(["appstreamcli", "validate", "--no-net", path])
    check(r.returncode == 0, "appstreamcli validate --no-net %s\n%s" % (path, r.stdout))
    root = ET.parse(path).getroot()
    shots = [os.path.basename(e.text.strip()) for e in root.iter("image")]
    check(len(shots) >= 3, "metainfo names screenshots: %s" % shots)
    for name in shots:
        check(os.path.isfile(os.path.join(source, "docs", "screenshots", name)),
              "screenshot %s is in docs/screenshots" % name)
    releases = [(r.get("version"), r.get("date")) for r in root.iter("release")]
    check(releases[:1] == [(project_version(source), "2003-05-01")],
          "newest release is the project's version of 2003-05-01: %s" % releases)
    return {e.text for e in root.iter("binary")}


def check_icon(path, size):
    if not check(os.path.isfile(path), "icon %s" % path):
        return
    with Image.open(path) as img:
        check(img.size == (size, size) and img.mode == "RGBA",
              "icon %s is %dx%d RGBA (%s %s)" % (os.path.basename(path), size, size, img.size,
                                                img.mode))


def desktop_value(path, key):
    with open(path) as f:
        for line in f:
            if line.startswith(key + "="):
                return line.strip().split("=", 1)[1]
    return None


def check_tree(usr, source, version):
    """The files below an installed prefix (or a package's usr/)."""
    bindir = os.path.join(usr, "bin")
    commands = set(os.listdir(bindir)) if os.path.isdir(bindir) else set()
    check(REQUIRED_COMMANDS <= commands, "commands in bin: %s" % sorted(commands))
    for c in sorted(commands):
        check(os.access(os.path.join(bindir, c), os.X_OK), "bin/%s is executable" % c)
        page = os.path.join(usr, "share", "man", "man1", c + ".1.gz")
        if check(os.path.isfile(page), "man page of %s" % c):
            with gzip.open(page, "rt") as f:
                text = f.read()
            check(re.search(r'^\.TH %s "1" .*"%s %s"' % (c.upper(), c, version), text, re.M)
                  is not None, "man page of %s is for %s %s" % (c, c, version))
            check("\\-\\-help" in text and "Exit status" in text.replace("EXIT STATUS", "Exit status"),
                  "man page of %s has the options and the exit statuses" % c)
    desktop = os.path.join(usr, "share", "applications", APP_ID + ".desktop")
    if check(os.path.isfile(desktop), "desktop entry"):
        validate_desktop(desktop)
        check(desktop_value(desktop, "Exec").split()[0] in commands, "desktop entry's Exec is installed")
        check(desktop_value(desktop, "Icon") == APP_ID, "desktop entry's icon is the program's")
    for size in ICON_SIZES:
        check_icon(os.path.join(usr, "share", "icons", "hicolor", "%dx%d" % (size, size), "apps",
                                APP_ID + ".png"), size)
    metainfo = os.path.join(usr, "share", "metainfo", APP_ID + ".metainfo.xml")
    if check(os.path.isfile(metainfo), "metainfo"):
        binaries = validate_metainfo(metainfo, source)
        check(binaries == commands, "metainfo provides the installed commands: %s" % sorted(binaries))
    for doc in ("copyright", "changelog.gz"):
        check(os.path.isfile(os.path.join(usr, "share", "doc", "zarnavis", doc)), "doc " + doc)
    return commands


def check_conventions(bindir, commands, version, env):
    """--help, --version and a usage error of every command, as on the system."""
    for c in sorted(commands):
        program = os.path.join(bindir, c)
        r = run([program, "--help"], env=env)
        check(r.returncode == 0 and r.stdout.startswith("Usage: " + c) and r.stderr == ""
              and all(part in r.stdout for part in ("--help", "--version", "Exit status:")),
              "%s --help: usage, options and exit statuses on standard output" % c)
        r = run([program, "--version"], env=env)
        check(r.returncode == 0 and r.stdout.split("\n")[0] == "%s %s" % (c, version),
              "%s --version: %r" % (c, r.stdout.split("\n")[0]))
        r = run([program, "--frobnicate"], env=env)
        lines = r.stderr.splitlines()
        check(r.returncode == 2 and r.stdout == "" and len(lines) == 2
              and lines[0].startswith(c + ": ")
              and lines[1] == "Try '%s --help' for more information." % c,
              "%s --frobnicate: a usage error (exit %d) %r" % (c, r.returncode, r.stderr))


def cmd_files(source, build):
    validate_desktop(os.path.join(source, "packaging", APP_ID + ".desktop"))
    validate_metainfo(os.path.join(build, "packaging", APP_ID + ".metainfo.xml"), source)
    for size in ICON_SIZES:
        check_icon(os.path.join(source, "packaging", "icons", "zarnavis-%d.png" % size), size)


def cmd_install(source, build):
    with tempfile.TemporaryDirectory(prefix="zrn-install-") as prefix:
        r = run(["cmake", "--install", build, "--prefix", prefix])
        if check(r.returncode == 0, "cmake --install %s\n%s" % (build, r.stderr)):
            commands = check_tree(prefix, source, project_version(source))
            check_conventions(os.path.join(prefix, "bin"), commands, project_version(source),
                              program_env(os.path.join(prefix, "home")))


def program_env(home):
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        env.pop(name, None)
    env["ZARNAVIS_HOME"] = home
    return env


def check_unpacked_programs(usr, commands, version, scratch):
    env = program_env(os.path.join(scratch, "home"))
    os.makedirs(env["ZARNAVIS_HOME"])
    r = run([os.path.join(usr, "bin", "zarnavis"), "-d"], env=env)
    check(r.returncode == 0 and r.stdout == PACKED_VERSION + "\n",
          "zarnavis -d prints %s (%r, exit %d)" % (PACKED_VERSION, r.stdout, r.returncode))
    # zrninstall --help and zrnupdate --version (when packaged) among them.
    check_conventions(os.path.join(usr, "bin"), commands, version, env)
    # The window opens from outside any CD and ends after a screenshot.
    shot = os.path.join(scratch, "launcher.png")
    env.update(QT_QPA_PLATFORM="offscreen", ZARNAVIS_SCREENSHOT=shot,
               ZARNAVIS_SCREENSHOT_DELAY="300")
    r = run([os.path.join(usr, "bin", "zarnavis")], env=env, cwd=scratch)
    ok = r.returncode == 0 and os.path.isfile(shot)
    if ok:
        with Image.open(shot) as img:
            ok = img.size == (592, 423)
    check(ok, "the unpacked launcher shows its window (exit %d) %s" % (r.returncode, r.stderr[-500:]))


def find_deb(source, given):
    if given:
        return given
    debs = sorted(glob.glob(os.path.join(source, "build", "package", "zarnavis_*.deb")),
                  key=os.path.getmtime)
    return debs[-1] if debs else None


def cmd_deb(source, given=None):
    deb = find_deb(source, given)
    if not deb:
        reason = ("no .deb in build/package: scripts/package builds it and runs this check "
                  "(CI runs it after scripts/test)")
        if os.environ.get("ZARNAVIS_REQUIRE_DEB") == "1":
            check(False, reason)
            return
        print("SKIP  " + reason)
        sys.exit(SKIP)
    print("package %s" % deb)
    version = project_version(source)
    fields = run(["dpkg-deb", "-f", deb]).stdout
    check(re.search(r"^Maintainer: .+ <.+@.+>$", fields, re.M) is not None, "Maintainer field")
    check(re.search(r"^Version: %s$" % re.escape(version), fields, re.M) is not None,
          "Version %s" % version)
    depends = re.search(r"^Depends: (.*)$", fields, re.M)
    depends = depends.group(1) if depends else ""
    for lib in ("libqt6widgets6", "libc6", "zlib1g", "libssl3", "fonts-liberation2"):
        check(lib in depends, "Depends names %s" % lib)
    check(re.search(r"^Description: .+\n .+", fields, re.M) is not None,
          "Description with a long text")
    r = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", deb])
    print(r.stdout, end="")
    check(r.returncode == 0, "lintian reports no errors")
    with tempfile.TemporaryDirectory(prefix="zrn-deb-") as scratch:
        root = os.path.join(scratch, "root")
        r = run(["dpkg-deb", "-x", deb, root])
        if not check(r.returncode == 0, "dpkg-deb -x " + r.stderr):
            return
        usr = os.path.join(root, "usr")
        commands = check_tree(usr, source, version)
        check_unpacked_programs(usr, commands, version, scratch)


def cmd_autorun(source, build):
    program = os.path.join(build, "src", "launcher", "zarnavis")
    with tempfile.TemporaryDirectory(prefix="zrn-autorun-") as scratch:
        cd = os.path.join(scratch, "cd")
        os.makedirs(os.path.join(cd, "Charts"))
        shutil.copy(os.path.join(source, "packaging", "autorun.sh"), cd)
        env = program_env(os.path.join(scratch, "home"))
        os.makedirs(env["ZARNAVIS_HOME"])
        # The CD's own program, started from the CD's root wherever the
        # desktop runs the script.
        shutil.copy(program, cd)
        shot = os.path.join(scratch, "shot.png")
        env.update(QT_QPA_PLATFORM="offscreen", ZARNAVIS_SCREENSHOT=shot,
                   ZARNAVIS_SCREENSHOT_DELAY="300")
        r = run(["sh", os.path.join(cd, "autorun.sh")], env=env, cwd=scratch)
        with open(os.path.join(env["ZARNAVIS_HOME"], "system.reg"), encoding="utf-8") as f:
            settings = f.read()
        check(r.returncode == 0 and '"ZRN Folder"="%s/Charts/"' % os.path.realpath(cd) in settings,
              "autorun.sh starts the CD's launcher from the CD's root (exit %d)" % r.returncode)
        # A CD without the program: the installed one is started.
        os.remove(os.path.join(cd, "zarnavis"))
        bindir = os.path.join(scratch, "bin")
        os.makedirs(bindir)
        os.symlink(program, os.path.join(bindir, "zarnavis"))
        env["PATH"] = bindir + os.pathsep + env.get("PATH", "")
        r = run(["sh", os.path.join(cd, "autorun.sh"), "-d"], env=env, cwd=scratch)
        check(r.returncode == 0 and r.stdout == PACKED_VERSION + "\n",
              "autorun.sh starts the installed launcher when the CD has none (%r)" % r.stdout)


def main():
    command, args = sys.argv[1], sys.argv[2:]
    {"files": cmd_files, "install": cmd_install, "deb": cmd_deb, "autorun": cmd_autorun}[command](
        *args)
    if failures:
        print("%d check(s) failed" % len(failures))
        sys.exit(1)


if __name__ == "__main__":
    main()
