#!/usr/bin/env python3
"""Fetches the i386 twins of native libraries that a 32-bit install needs and no i386 index offers.

A Multi-Arch: same package must have one version on both architectures. A mirror whose i386 index
of one suite is stale (a security suite mid-sync) leaves an amd64 library installed from that suite
without an i386 partner in any index, so apt cannot install a 32-bit package that needs it, though
the partner's file is in the pool beside the amd64 one.

For each native Multi-Arch: same package installed here that is in the i386 dependency closure of
the packages given, this takes the version apt keeps or upgrades it to under `-t SUITE`. When no
index offers that version for i386, it downloads the amd64 record's pool file with _amd64.deb
changed to _i386.deb, from the same mirror (apt-helper, which honours apt's proxy settings), checks
that the file's control fields name that package, version and architecture, and prints its path.
The caller installs with `apt-get install -t SUITE PACKAGE:i386... FILE...`.

No signed index vouches for these files (a current i386 index is what is missing): the checks catch
a wrong file, not a forged one.

Usage: fetch-i386-twins.py --suite SUITE --dest DIR PACKAGE:i386...
Exit 0 with one path a line (none when nothing is missing); 1 with the reason on stderr."""
import argparse
import os
import pwd
import re
import subprocess
import sys

APT_HELPER = '/usr/lib/apt/apt-helper'
FOREIGN = 'i386'


class TwinError(Exception):
    pass


def run(*args):
    """stdout of a command in the C locale (apt's field names and messages untranslated)."""
    done = subprocess.run(args, capture_output=True, text=True, env=dict(os.environ, LC_ALL='C'))
    return done.returncode, done.stdout, done.stderr


def closure(depends_text, arch):
    """Package names of an `apt-cache depends --recurse` listing: its unindented lines of ARCH."""
    suffix = ':' + arch
    return {line.strip('<>')[:-len(suffix)] for line in depends_text.splitlines()
            if line and not line[0].isspace() and line.strip('<>').endswith(suffix)}


def installed_same(status_text, arch):
    """{package: version} of installed Multi-Arch: same packages of ARCH, from
    `dpkg-query -W -f='${db:Status-Abbrev}|${Package}|${Architecture}|${Version}|${Multi-Arch}\\n'`."""
    found = {}
    for line in status_text.splitlines():
        fields = line.split('|')
        if len(fields) == 5 and fields[0].startswith('ii') and fields[2] == arch and fields[4] == 'same':
            found[fields[1]] = fields[3]
    return found


def candidates(policy_text):
    """{package: candidate version} from `apt-cache policy` of several packages."""
    found, package = {}, None
    for line in policy_text.splitlines():
        if line and not line[0].isspace() and line.endswith(':'):
            package = line[:-1].split(':')[0]
        elif package and line.strip().startswith('Candidate:'):
            version = line.split(':', 1)[1].strip()
            if version != '(none)':
                found[package] = version
    return found


def offered(show_text):
    """{package: set of versions} of the records of `apt-cache show`."""
    found = {}
    for record in re.split(r'\n\s*\n', show_text):
        fields = dict(re.findall(r'^([\w-]+): (.*)$', record, re.M))
        if 'Package' in fields and 'Version' in fields:
            found.setdefault(fields['Package'], set()).add(fields['Version'])
    return found


def needed(wanted, installed, candidate, foreign_versions):
    """[(package, version)] of the installed Multi-Arch: same packages in WANTED whose native
    candidate no index offers for the foreign architecture."""
    return [(p, candidate[p]) for p in sorted(installed)
            if p in wanted and p in candidate and candidate[p] not in foreign_versions.get(p, ())]


def twin_of(uri_line, native):
    """(url, file name) of the foreign twin, from one `apt-get download --print-uris` line of the
    native file: 'URL' NAME SIZE HASH. Only the architecture at the end of the name changes."""
    m = re.match(r"'([^']+)' (\S+) ", uri_line)
    tail = '_%s.deb' % native
    if not m or not m.group(1).endswith(tail) or not m.group(2).endswith(tail):
        raise TwinError('unexpected download line: %s' % uri_line)
    twin = '_%s.deb' % FOREIGN
    return m.group(1)[:-len(tail)] + twin, m.group(2)[:-len(tail)] + twin


def check_twin(path, package, version):
    """Why PATH is not the i386 build of PACKAGE VERSION; None when it is."""
    want = {'Package': package, 'Version': version, 'Architecture': FOREIGN, 'Multi-Arch': 'same'}
    rc, out, err = run('dpkg-deb', '-f', path, *want)
    if rc != 0:
        return 'not a Debian package (%s)' % err.strip()
    got = dict(re.findall(r'^([\w-]+): (.*)$', out, re.M))
    wrong = ['%s %s' % (k, got.get(k, '(none)')) for k, v in want.items() if got.get(k) != v]
    return 'it says ' + ', '.join(wrong) if wrong else None


def download(url, dest, name):
    """Fetches URL to DEST/NAME through apt's own downloader, in a folder that its sandbox user
    can write to (apt drops root for downloads)."""
    partial = os.path.join(dest, 'partial')
    os.makedirs(partial, exist_ok=True)
    if os.getuid() == 0:
        try:
            os.chown(partial, pwd.getpwnam('_apt').pw_uid, 0)
        except KeyError:
            pass
    target = os.path.join(partial, name)
    rc, out, err = run(APT_HELPER, 'download-file', url, target)
    if rc != 0 or not os.path.isfile(target):
        last = (err or out).strip().splitlines()
        raise TwinError('%s: download failed: %s' % (url, last[-1] if last else 'rc %d' % rc))
    return target


def fetch(package, version, native, dest):
    rc, out, err = run('apt-get', 'download', '--print-uris', '%s:%s=%s' % (package, native, version))
    if rc != 0 or not out.strip():
        raise TwinError('%s %s: no index offers its %s file either, so its pool path is unknown (%s)'
                        % (package, version, native, err.strip()))
    url, name = twin_of(out.strip().splitlines()[0], native)
    path = os.path.join(dest, name)
    if os.path.isfile(path) and check_twin(path, package, version) is None:
        return path
    fresh = download(url, dest, name)
    problem = check_twin(fresh, package, version)
    if problem:
        os.unlink(fresh)
        raise TwinError('%s: %s' % (url, problem))
    os.replace(fresh, path)
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    parser.add_argument('--suite', required=True)
    parser.add_argument('--dest', required=True)
    parser.add_argument('packages', nargs='+')
    args = parser.parse_args()
    native = run('dpkg', '--print-architecture')[1].strip()

    rc, out, err = run('apt-cache', 'depends', '--recurse', '--no-recommends', '--no-suggests',
                       '--no-conflicts', '--no-breaks', '--no-replaces', '--no-enhances', *args.packages)
    if rc != 0:
        sys.exit('fetch-i386-twins: apt-cache depends failed: %s' % err.strip())
    wanted = closure(out, FOREIGN)
    status = run('dpkg-query', '-W',
                 '-f=${db:Status-Abbrev}|${Package}|${Architecture}|${Version}|${Multi-Arch}\n')[1]
    installed = {p: v for p, v in installed_same(status, native).items() if p in wanted}
    if not installed:
        return 0
    candidate = candidates(run('apt-cache', '-t', args.suite, 'policy',
                               *('%s:%s' % (p, native) for p in installed))[1])
    foreign = offered(run('apt-cache', 'show', *('%s:%s' % (p, FOREIGN) for p in installed))[1])

    os.makedirs(args.dest, exist_ok=True)
    try:
        for package, version in needed(wanted, installed, candidate, foreign):
            print(fetch(package, version, native, args.dest), flush=True)
    except TwinError as e:
        sys.exit('fetch-i386-twins: %s' % e)
    return 0


if __name__ == '__main__':
    sys.exit(main())
