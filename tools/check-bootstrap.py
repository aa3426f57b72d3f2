#!/usr/bin/env python3
"""Fails when a tool that the build or the README's two commands use comes from a Debian package
that tools/bootstrap.sh does not install (directly or as a dependency).

A machine of ours keeps what an earlier session installed by hand; a new one has only what the
bootstrap installs. This finds the difference on the machine where it was made:
- tools: the compilers in cmake/*.cmake, and every word of the scripts that the README's commands
  reach (.ci/run, tools/test.sh, tools/demo.sh and the scripts they name) that is a program in
  the system's folders, plus absolute paths of programs they name;
- owners: `dpkg -S` of each tool; packages that every Debian system has (Essential, or priority
  required) need no listing;
- covered: the bootstrap's pkgs and pkgs32 lists closed over Depends and Pre-Depends.
Exit 0 when every tool is covered, 1 otherwise (the uncovered ones are printed)."""
import glob
import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SYSTEM_DIRS = ('/usr/bin', '/bin', '/usr/sbin', '/sbin')
ENTRY_SCRIPTS = ['.ci/run', 'tools/test.sh', 'tools/demo.sh']


def run(*args):
    return subprocess.run(args, capture_output=True, text=True).stdout


def bootstrap_packages():
    text = open(os.path.join(ROOT, 'tools/bootstrap.sh')).read()
    names = []
    for array in ('pkgs', 'pkgs32'):
        m = re.search(r'^%s=\((.*?)\)' % array, text, re.S | re.M)
        if not m:
            sys.exit('check-bootstrap: no %s=( ... ) list in tools/bootstrap.sh' % array)
        body = '\n'.join(line.split('#', 1)[0] for line in m.group(1).splitlines())
        names += [p.split(':')[0] for p in body.split()]
    return names


def dependency_closure(packages):
    out = run('apt-cache', 'depends', '--recurse', '--no-recommends', '--no-suggests', '--no-conflicts',
              '--no-breaks', '--no-replaces', '--no-enhances', *packages)
    closure = set(packages)
    for line in out.splitlines():
        line = line.strip()
        if not line:
            continue
        if re.match(r'\|?(Pre)?Depends:', line):
            closure.add(line.split(':', 1)[1].strip().strip('<>').split(':')[0])
        elif ':' not in line or not line.endswith(':'):
            closure.add(line.split(':')[0])
    return closure


def reached_scripts():
    todo, seen = list(ENTRY_SCRIPTS), []
    while todo:
        rel = todo.pop()
        path = os.path.join(ROOT, rel)
        if rel in seen or not os.path.isfile(path):
            continue
        seen.append(rel)
        for ref in re.findall(r'((?:tools|tests|bench|\.ci)/[\w./-]+)', open(path, errors='replace').read()):
            if os.path.isfile(os.path.join(ROOT, ref)) and ref.endswith(('.sh', '.py', 'run')):
                todo.append(ref)
    return seen


# A word in command position: at the start of a line or after | ; & ( $( ` or a word that runs
# its argument, with any VAR=value assignments in front.
COMMAND = re.compile(r"(?:^|[|;&(`]|\$\(|\b(?:then|do|else|exec|time|timeout\s+[\w.]+|xargs(?:\s+-\w+)*|sudo|as_root|command\s+-v|!))"
                     r"\s*(?:\w+=\S*\s+)*([A-Za-z][\w.+-]*)")


def strip_comment(line):
    stripped = line.lstrip()
    if stripped.startswith('#'):
        return ''
    return re.split(r'\s#\s', line, maxsplit=1)[0]


def tools_used(scripts):
    tools = set()
    for toolchain in glob.glob(os.path.join(ROOT, 'cmake/*.cmake')):
        for name in re.findall(r'set\(CMAKE_(?:C|CXX|RC)_COMPILER\s+([^\s)]+)', open(toolchain).read()):
            tools.add(name)
    builtins = set(run('bash', '-c', 'compgen -b; compgen -k').split())
    for rel in scripts:
        for line in open(os.path.join(ROOT, rel), errors='replace').read().splitlines():
            line = strip_comment(line)
            for path in re.findall(r'(?<![\w$.-])(/usr/(?:s?bin|lib)/[\w./+-]+)', line):
                if os.path.isfile(path) and os.access(path, os.X_OK):
                    tools.add(path)
            for word in COMMAND.findall(line):
                if word in builtins:
                    continue
                if any(os.path.isfile(os.path.join(d, word)) and os.access(os.path.join(d, word), os.X_OK)
                       for d in SYSTEM_DIRS):
                    tools.add(word)
    return tools


def system_path(tool):
    if os.path.isabs(tool):
        return tool
    for d in SYSTEM_DIRS:
        if os.path.exists(os.path.join(d, tool)):
            return os.path.join(d, tool)
    return None


def owners_of(tools):
    """Packages owning each tool, by one dpkg -S call over the real paths and the paths as named."""
    paths = {t: system_path(t) for t in tools}
    queries = sorted({q for p in paths.values() if p for q in aliases(p)})
    found = {}
    for line in run('dpkg', '-S', *queries).splitlines():
        if ': ' not in line:
            continue
        pkgs, path = line.split(': ', 1)
        found.setdefault(path.strip(), set()).update(p.strip().split(':')[0] for p in pkgs.split(','))
    return {t: set().union(*(found.get(q, set()) for q in aliases(p))) if p else set() for t, p in paths.items()}


def aliases(path):
    """The names dpkg may know a file by: as named, resolved, and across the merged /usr."""
    names = {path, os.path.realpath(path)}
    for name in list(names):
        if name.startswith('/usr/'):
            names.add(name[4:])
        else:
            names.add('/usr' + name)
    return names


def everywhere(packages):
    """Packages every Debian system has: Essential ones and those of priority required."""
    out = run('dpkg-query', '-W', '-f=${Package} ${Essential} ${Priority}\n', *packages)
    return {fields[0] for fields in (line.split() for line in out.splitlines())
            if len(fields) >= 3 and (fields[1] == 'yes' or fields[2] == 'required')}


def main():
    os.chdir(ROOT)
    packages = bootstrap_packages()
    closure = dependency_closure(packages)
    scripts = reached_scripts()
    tools = tools_used(scripts)
    problems = []
    owned = {}
    for tool, found in sorted(owners_of(tools).items()):
        if not found:
            problems.append('%s: not from any Debian package (installed by hand?)' % tool)
        else:
            owned[tool] = found
    base = everywhere(sorted(set().union(*owned.values()))) if owned else set()
    for tool, found in sorted(owned.items()):
        if found & (closure | base):
            continue
        problems.append('%s: from %s, which tools/bootstrap.sh does not install' % (tool, '/'.join(sorted(found))))
    for problem in problems:
        print('check-bootstrap: ' + problem)
    print('check-bootstrap: %d tools of %d scripts against %d bootstrap packages (%d with dependencies): %s'
          % (len(tools), len(scripts), len(packages), len(closure), 'all covered' if not problems else
             '%d not covered' % len(problems)))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
