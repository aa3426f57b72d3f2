#!/usr/bin/env python3
"""Tests of the bootstrap's helpers: waiting for apt's locks, and the 32-bit probe."""
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
TOOLS = os.path.join(ROOT, 'tools')

# Holds an fcntl write lock on a file, as apt and dpkg do, until its stdin closes.
HOLDER = ('import fcntl, os, sys; fd = os.open(sys.argv[1], os.O_RDWR); fcntl.lockf(fd, fcntl.LOCK_EX); '
          'print("held", flush=True); sys.stdin.read()')


class AptLockWait(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.locks = [os.path.join(self.dir.name, n) for n in ('lock-frontend', 'lists-lock')]
        for path in self.locks:
            open(path, 'w').close()

    def tearDown(self):
        self.dir.cleanup()

    def hold(self, path):
        holder = subprocess.Popen([sys.executable, '-c', HOLDER, path], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True)
        self.assertEqual(holder.stdout.readline().strip(), 'held')
        self.addCleanup(holder.wait)
        self.addCleanup(holder.stdin.close)
        return holder

    def bash(self, script, wait=60):
        prelude = '. %s/apt-wait.sh; apt_lock_files=(%s); apt_lock_wait=%d\n' % (
            TOOLS, ' '.join(self.locks), wait)
        return subprocess.run(['bash', '-c', prelude + script], capture_output=True, text=True, timeout=60)

    def test_names_the_holder_and_goes_on_once_it_lets_go(self):
        self.assertEqual(self.bash('apt_lock_holder').returncode, 1)
        holder = self.hold(self.locks[1])
        held = self.bash('apt_lock_holder')
        self.assertEqual(held.stdout.split(), [self.locks[1], str(holder.pid)])
        # The holder lets go two seconds into the wait.
        waited = self.bash('(sleep 2; kill %d) & apt_wait_for_locks $((SECONDS + 60)) && apt_lock_holder; echo rc=$?'
                           % holder.pid)
        self.assertIn('waiting for %s, held by process %d (python3)' % (self.locks[1], holder.pid), waited.stderr)
        self.assertEqual(waited.stdout.strip(), 'rc=1')

    def test_gives_up_when_the_wait_runs_out_without_running_apt(self):
        holder = self.hold(self.locks[0])
        log = os.path.join(self.dir.name, 'apt.log')
        gave_up = self.bash('apt_get %s install nothing; echo "not reached"' % log, wait=1)
        self.assertEqual(gave_up.returncode, 1)
        self.assertNotIn('not reached', gave_up.stdout)
        self.assertIn('%s is still held by process %d (python3) after 1 s' % (self.locks[0], holder.pid),
                      gave_up.stderr)
        self.assertFalse(os.path.exists(log))


class Probe32(unittest.TestCase):
    def test_probe_is_an_i386_program_that_exits_with_its_status(self):
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, 'probe')
            subprocess.run(['bash', os.path.join(TOOLS, 'runs-32bit.sh'), '--write', path], check=True)
            size = os.path.getsize(path)
            headers = subprocess.run(['readelf', '-hl', path], capture_output=True, text=True, check=True).stdout
            code = subprocess.run(['objdump', '-D', '-b', 'binary', '-m', 'i386', '-M', 'intel',
                                   '--start-address=0x54', path], capture_output=True, text=True).stdout
        self.assertRegex(headers, r'Class:\s+ELF32')
        self.assertRegex(headers, r'Machine:\s+Intel 80386')
        self.assertRegex(headers, r'Type:\s+EXEC')
        self.assertRegex(headers, r'Entry point address:\s+0x8048054')
        load = re.search(r'LOAD\s+0x0+\s+0x08048000\s+0x08048000\s+(0x[0-9a-f]+)\s+(0x[0-9a-f]+)\s+R E', headers)
        self.assertIsNotNone(load, headers)
        self.assertEqual(int(load.group(1), 16), size)
        instructions = [' '.join(line.split('\t')[-1].split()) for line in code.splitlines() if '\t' in line]
        self.assertEqual(instructions, ['xor ebx,ebx', 'mov bl,0x20', 'mov eax,0x1', 'int 0x80'])

    def test_answer_agrees_with_the_32_bit_loader(self):
        loader = '/lib/ld-linux.so.2'
        if not os.path.exists(loader):
            self.skipTest('no 32-bit loader here to compare with')
        try:
            runs = subprocess.run([loader, '--version'], capture_output=True).returncode == 0
        except OSError:
            runs = False
        answer = subprocess.run(['bash', os.path.join(TOOLS, 'runs-32bit.sh')]).returncode
        self.assertEqual(answer, 0 if runs else 1)


if __name__ == '__main__':
    unittest.main()
