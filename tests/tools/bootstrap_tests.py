#!/usr/bin/env python3
"""Tests of the bootstrap's helpers: waiting for apt's locks, the 32-bit probe, and the i386 twins."""
import importlib.util
import os
import subprocess
import sys
import tempfile
import textwrap
import unittest

sys.dont_write_bytecode = True
TOOLS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))), 'tools')
_spec = importlib.util.spec_from_file_location('twins', os.path.join(TOOLS, 'fetch-i386-twins.py'))
twins = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(twins)

# Holds an fcntl write lock on a file, as apt and dpkg do, until it is killed or its stdin closes.
HOLDER = ('import fcntl, os, sys; fd = os.open(sys.argv[1], os.O_RDWR); fcntl.lockf(fd, fcntl.LOCK_EX); '
          'print("held", flush=True); sys.stdin.read()')


class AptLockWait(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.addCleanup(self.dir.cleanup)
        self.locks = [os.path.join(self.dir.name, n) for n in ('lock-frontend', 'lists-lock')]
        for path in self.locks:
            open(path, 'w').close()

    def hold(self, path):
        holder = subprocess.Popen([sys.executable, '-c', HOLDER, path], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        self.assertEqual(holder.stdout.readline().strip(), 'held')
        self.addCleanup(holder.wait)
        self.addCleanup(holder.stdin.close)
        return holder.pid

    def bash(self, script, wait=60):
        prelude = '. %s/apt-wait.sh; apt_lock_files=(%s); apt_lock_wait=%d\n' % (TOOLS, ' '.join(self.locks), wait)
        return subprocess.run(['bash', '-c', prelude + script], capture_output=True, text=True, timeout=60)

    def test_names_the_holder_and_goes_on_once_it_lets_go(self):
        self.assertEqual(self.bash('apt_lock_holder').returncode, 1)
        pid = self.hold(self.locks[1])
        self.assertEqual(self.bash('apt_lock_holder').stdout.split(), [self.locks[1], str(pid)])
        waited = self.bash('(sleep 2; kill %d) & apt_wait_for_locks $((SECONDS + 60)) && apt_lock_holder; echo rc=$?' % pid)
        self.assertIn('waiting for %s, held by process %d (python3)' % (self.locks[1], pid), waited.stderr)
        self.assertEqual(waited.stdout.strip(), 'rc=1')

    def test_gives_up_when_the_wait_runs_out_without_running_apt(self):
        pid = self.hold(self.locks[0])
        log = os.path.join(self.dir.name, 'apt.log')
        gave_up = self.bash('apt_get %s install nothing; echo "not reached"' % log, wait=1)
        self.assertEqual((gave_up.returncode, gave_up.stdout), (1, ''))
        self.assertIn('%s is still held by process %d (python3) after 1 s' % (self.locks[0], pid), gave_up.stderr)
        self.assertFalse(os.path.exists(log))


class Probe32(unittest.TestCase):
    def test_probe_is_an_i386_program_that_exits_with_its_status(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, 'probe')
            subprocess.run(['bash', os.path.join(TOOLS, 'runs-32bit.sh'), '--write', path], check=True)
            size = os.path.getsize(path)
            headers = subprocess.run(['readelf', '-hl', path], capture_output=True, text=True).stdout
            code = subprocess.run(['objdump', '-D', '-b', 'binary', '-m', 'i386', '-M', 'intel',
                                   '--start-address=0x54', path], capture_output=True, text=True).stdout
        for field in (r'Class:\s+ELF32', r'Machine:\s+Intel 80386', r'Type:\s+EXEC', r'Entry point address:\s+0x8048054',
                      r'LOAD\s+0x0+ 0x08048000 0x08048000 0x%05x 0x%05x R E' % (size, size)):
            self.assertRegex(headers, field)
        self.assertEqual([' '.join(line.split('\t')[-1].split()) for line in code.splitlines() if '\t' in line],
                         ['xor ebx,ebx', 'mov bl,0x20', 'mov eax,0x1', 'int 0x80'])

    def test_answer_agrees_with_the_32_bit_loader(self):
        if not os.path.exists('/lib/ld-linux.so.2'):
            self.skipTest('no 32-bit loader here to compare with')
        try:
            runs = subprocess.run(['/lib/ld-linux.so.2', '--version'], capture_output=True).returncode == 0
        except OSError:
            runs = False
        self.assertEqual(subprocess.run(['bash', os.path.join(TOOLS, 'runs-32bit.sh')]).returncode, 0 if runs else 1)


def lines(text):
    return textwrap.dedent(text).lstrip('\n')


class I386Twins(unittest.TestCase):
    def test_only_libraries_whose_version_apt_keeps_has_no_i386_build(self):
        # As apt and dpkg print them where the mirror's i386 security index is stale.
        wanted = twins.closure(lines('''
            libwine:i386
              Depends: libgstreamer-plugins-base1.0-0:i386
             |Depends: libcurl4:i386
              Depends: <libgl1:i386>
                libgl1:i386
            libgstreamer-plugins-base1.0-0:i386
            libcurl4:i386
            zlib1g:i386
            libbar:i386
            <libgl1:i386>
            '''), 'i386')
        installed = twins.installed_same(lines('''
            ii |libgstreamer-plugins-base1.0-0|amd64|1.22.0-3+deb12u7|same
            ii |libcurl4|amd64|7.88.1-10+deb12u14|same
            ii |zlib1g|amd64|1:1.2.13.dfsg-1|same
            ii |libbar|amd64|2.0|foreign
            rc |libgl1|amd64|1.6.0-1|same
            ii |libfoo|amd64|1.0-1|same
            '''), 'amd64')
        candidate = twins.candidates(lines('''
            libgstreamer-plugins-base1.0-0:
              Installed: 1.22.0-3+deb12u7
              Candidate: 1.22.0-3+deb12u7
              Version table:
                 1.22.0-3+deb12u6 990
            libcurl4:
              Candidate: 7.88.1-10+deb12u15
            zlib1g:
              Candidate: 1:1.2.13.dfsg-1
            libbar:
              Candidate: 2.0
            libgl1:
              Candidate: 1.6.0-1
            libfoo:
              Candidate: 1.0-1
            '''))
        offered = twins.offered('Package: libgstreamer-plugins-base1.0-0\nVersion: 1.22.0-3+deb12u6\n\n'
                                'Package: libcurl4\nVersion: 7.88.1-10+deb12u15\n\n'
                                'Package: zlib1g\nArchitecture: i386\nVersion: 1:1.2.13.dfsg-1\n')
        self.assertEqual(twins.needed(wanted, installed, candidate, offered),
                         [('libgstreamer-plugins-base1.0-0', '1.22.0-3+deb12u7')])

    def test_twin_is_the_same_pool_file_for_i386(self):
        pool = "'http://m/debian-security/pool/updates/main/a/amd64-x/amd64-x_1.0-3%2bdeb12u7_amd64.deb' "
        self.assertEqual(twins.twin_of(pool + 'amd64-x_1.0-3+deb12u7_amd64.deb 933792 SHA256:e6', 'amd64'),
                         ('http://m/debian-security/pool/updates/main/a/amd64-x/amd64-x_1.0-3%2bdeb12u7_i386.deb',
                          'amd64-x_1.0-3+deb12u7_i386.deb'))
        with self.assertRaises(twins.TwinError):
            twins.twin_of("'http://m/pool/main/f/fonts-x/fonts-x_1_all.deb' fonts-x_1_all.deb 1 SHA256:0", 'amd64')

    def test_downloaded_file_must_be_that_package_version_and_architecture(self):
        with tempfile.TemporaryDirectory() as d:
            def deb(arch):
                tree = os.path.join(d, arch)
                os.makedirs(os.path.join(tree, 'DEBIAN'), exist_ok=True)
                with open(os.path.join(tree, 'DEBIAN', 'control'), 'w') as f:
                    f.write('Package: libx\nVersion: 1.0-1+u7\nArchitecture: %s\nMulti-Arch: same\n'
                            'Maintainer: t <t@t>\nDescription: t\n' % arch)
                subprocess.run(['dpkg-deb', '--build', tree, tree + '.deb'], check=True, capture_output=True)
                return tree + '.deb'
            self.assertIsNone(twins.check_twin(deb('i386'), 'libx', '1.0-1+u7'))
            self.assertIn('Version 1.0-1+u7', twins.check_twin(deb('i386'), 'libx', '1.0-1+u8'))
            self.assertIn('Architecture amd64', twins.check_twin(deb('amd64'), 'libx', '1.0-1+u7'))
            with open(os.path.join(d, 'junk.deb'), 'wb') as f:
                f.write(b'<html>404</html>')
            self.assertIn('not a Debian package', twins.check_twin(f.name, 'libx', '1.0-1+u7'))


if __name__ == '__main__':
    unittest.main()
