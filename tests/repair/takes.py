#!/usr/bin/env python3
"""Repaired clips against the recording, by time: real takes of two muxers, damaged, repaired.

Takes are recorded with ffmpeg's QuickTime muxer and with GStreamer's qtmux, for every pair of
video and sound the repair knows (as far as each muxer takes it): plain takes cut off inside a
frame, takes whose recorder is killed with SIGKILL while it records in real time, long takes with
three stretches of the media overwritten, takes with a timecode track (and DV subcode time code),
and takes with two sound tracks. Each damaged take is repaired with a template recorded the same
way (another picture and sound), and the repaired clip is compared with the original as a player
sees both, through ffmpeg:
- every repaired frame must be the original's frame at the same presentation time (framemd5 of the
  decoded pictures); original frames left out are told by why (damaged, after the cut, waiting for
  the next key frame, a reference frame shown after a lost one);
- the sound of each stretch between damaged regions is found in the original by cross-correlation
  and must lie at offset 0, per track;
- the start timecode must be the original's.
A DV take is also repaired alone in its folder, without a template (its layout read from the media),
and that clip must have the same samples, sound format and times as the one repaired with it.

The takes are made once per machine in a shared folder (each file written under a temporary name
and renamed), so later runs only repair and compare.

Usage: takes.py CLIPREPAIR [--table] [--only TEXT] [--jobs N]
  without --table every case is checked and the run fails when any check does;
  --table prints the figures of every case instead (exit 0).
"""
import argparse
import bisect
import concurrent.futures
import hashlib
import json
import os
import random
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import traceback

import numpy as np

CACHE = os.environ.get('CLIPHARBOR_TAKES', os.path.join(tempfile.gettempdir(), 'clipharbor-takes-1'))
BITEXACT = ['-fflags', '+bitexact', '-flags:v', '+bitexact', '-flags:a', '+bitexact', '-map_metadata', '-1']
GST_ELEMENTS = ['qtmux', 'videotestsrc', 'compositor', 'wavparse', 'audiobuffersplit', 'audioconvert', 'identity',
                'avenc_dvvideo', 'jpegenc', 'x264enc', 'avenc_aac', 'timecodestamper']


def run(args, **kw):
    return subprocess.run(args, stdout=subprocess.PIPE, stderr=subprocess.PIPE, **kw)


def ffmpeg(*args):
    r = run(['ffmpeg', '-nostdin', '-hide_banner', '-loglevel', 'error', *args])
    if r.returncode:
        raise RuntimeError('ffmpeg %s: %s' % (' '.join(args), r.stderr.decode(errors='replace')[-500:]))
    return r.stdout


# The QuickTime tables of a finished clip: where each sample lies and when it is shown.

def atoms(d, start, end):
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack('>I4s', d[pos:pos + 8])
        header = 8
        if size == 1:
            size, header = struct.unpack('>Q', d[pos + 8:pos + 16])[0], 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            return
        yield kind.decode('latin1'), pos, pos + header, pos + size
        pos += size


def child(d, span, *path):
    for kind, _, body, stop in atoms(d, *span):
        if kind == path[0]:
            return (body, stop) if len(path) == 1 else child(d, (body, stop), *path[1:])
    return None


class Track:
    """One track: its kind, sample format, and its chunks or samples with their file places and times
    (seconds on the movie's timeline, after the track's edit)."""

    def __init__(self, d, trak, movie_scale):
        mdia = child(d, trak, 'mdia')
        hdlr = child(d, mdia, 'hdlr')
        self.handler = d[hdlr[0] + 8:hdlr[0] + 12].decode('latin1')
        mdhd = child(d, mdia, 'mdhd')
        v = d[mdhd[0]]
        self.scale = struct.unpack('>I', d[mdhd[0] + 12:mdhd[0] + 16] if v == 0 else d[mdhd[0] + 20:mdhd[0] + 24])[0]
        stbl = child(d, mdia, 'minf', 'stbl')
        boxes = {k: (b, e) for k, _, b, e in atoms(d, *stbl)}
        self.format = d[boxes['stsd'][0] + 12:boxes['stsd'][0] + 16].decode('latin1')
        # The description's fields: the picture's size, or the sound's channels, bits and whole rate.
        e = boxes['stsd'][0] + 8
        self.description = struct.unpack('>HH', d[e + 32:e + 36]) if self.handler == 'vide' else \
            struct.unpack('>HHxxxxH', d[e + 24:e + 34]) if self.handler == 'soun' else ()

        def table(name, fmt):
            if name not in boxes:
                return []
            b = boxes[name][0]
            n, size = struct.unpack('>I', d[b + 4:b + 8])[0], struct.calcsize(fmt)
            return [struct.unpack(fmt, d[b + 8 + i * size:b + 8 + (i + 1) * size]) for i in range(n)]

        offsets = [o for (o,) in table('stco', '>I')] or [o for (o,) in table('co64', '>Q')]
        runs = table('stsc', '>III')
        b = boxes['stsz'][0]
        uniform, count = struct.unpack('>II', d[b + 4:b + 12])
        self.count = count
        sizes = None if uniform else struct.unpack('>%dI' % count, d[b + 12:b + 12 + 4 * count])
        stts = table('stts', '>II')
        ctts = table('ctts', '>Ii') if 'ctts' in boxes else []
        sync = {n - 1 for (n,) in table('stss', '>I')} if 'stss' in boxes else None
        # The edit: leading empty edits delay the track, the first media edit says where it starts.
        self.delay, media_time = 0.0, 0
        edts = child(d, trak, 'edts', 'elst')
        if edts:
            ver, n = d[edts[0]], struct.unpack('>I', d[edts[0] + 4:edts[0] + 8])[0]
            fmt = '>Iii' if ver == 0 else '>Qqi'
            for i in range(n):
                step = struct.calcsize(fmt)
                dur, mt, _ = struct.unpack(fmt, d[edts[0] + 8 + i * step:edts[0] + 8 + (i + 1) * step])
                if mt == -1:
                    self.delay += dur / movie_scale
                else:
                    media_time = mt
                    break

        def time_of(ticks):
            return (ticks - media_time) / self.scale + self.delay

        # Chunks with their first sample's decode time; per-sample detail only for few samples.
        self.chunks, self.samples = [], []
        n, dts, stts_i, stts_left = 0, 0, 0, stts[0][0] if stts else 0
        ctts_i, ctts_left = 0, ctts[0][0] if ctts else 0

        def advance():
            nonlocal dts, stts_i, stts_left
            dts += stts[stts_i][1]
            stts_left -= 1
            if stts_left == 0 and stts_i + 1 < len(stts):
                stts_i += 1
                stts_left = stts[stts_i][0]

        per_sample = self.handler == 'vide'
        for ci, offset in enumerate(offsets):
            per = [r[1] for r in runs if r[0] <= ci + 1][-1]
            per = min(per, count - n)
            start = time_of(dts)
            if per_sample:
                size = 0
                for _ in range(per):
                    cts = 0
                    if ctts:
                        cts = ctts[ctts_i][1]
                        ctts_left -= 1
                        if ctts_left == 0 and ctts_i + 1 < len(ctts):
                            ctts_i += 1
                            ctts_left = ctts[ctts_i][0]
                    sample_size = sizes[n] if sizes else uniform
                    self.samples.append({'offset': offset + size, 'size': sample_size, 'decode': n,
                                         'time': time_of(dts + cts), 'duration': stts[stts_i][1] / self.scale,
                                         'sync': sync is None or n in sync})
                    size += sample_size
                    n += 1
                    advance()
            else:
                size = per * uniform if uniform else sum(sizes[n:n + per])
                # Whole runs of equal durations at once: PCM tracks have a sample per sample frame.
                left = per
                while left:
                    step = min(left, stts_left)
                    dts += step * stts[stts_i][1]
                    stts_left -= step
                    left -= step
                    if stts_left == 0 and stts_i + 1 < len(stts):
                        stts_i += 1
                        stts_left = stts[stts_i][0]
                n += per
            self.chunks.append({'offset': offset, 'size': size, 'start': start, 'end': time_of(dts)})
            if n >= count:
                break


class Movie:
    def __init__(self, path):
        d = open(path, 'rb').read()
        moov = child(d, (0, len(d)), 'moov')
        mvhd = child(d, moov, 'mvhd')
        self.scale = struct.unpack('>I', d[mvhd[0] + 12:mvhd[0] + 16] if d[mvhd[0]] == 0 else d[mvhd[0] + 20:mvhd[0] + 24])[0]
        self.tracks = [Track(d, (b, e), self.scale) for k, _, b, e in atoms(d, *moov) if k == 'trak']
        for kind, pos, body, stop in atoms(d, 0, len(d)):
            if kind == 'mdat':
                self.mdat_header, self.media_start, self.media_end = pos, body, stop

    def of(self, handler):
        return [t for t in self.tracks if t.handler == handler]


# What is recorded: pairs of video and sound as each muxer takes them, and the takes.

class Pair:
    def __init__(self, name, label, size, rate, sound_rate, ff_video, ff_sound, gst_video, gst_sound, inter=False,
                 dense_size=None, ff_dense='', gst_dense=''):
        self.name, self.label, self.size, self.rate, self.sound_rate = name, label, size, rate, sound_rate
        self.ff_video, self.ff_sound, self.gst_video, self.gst_sound = ff_video, ff_sound, gst_video, gst_sound
        self.inter, self.dense_size, self.ff_dense, self.gst_dense = inter, dense_size or size, ff_dense, gst_dense


X264_FF = '-c:v libx264 -preset veryfast -threads 1 -pix_fmt yuv420p -bf 2 -g 30'
X264_GST = 'x264enc threads=1 bframes=2 speed-preset=veryfast key-int-max=30'
PAIRS = {p.name: p for p in [
    Pair('dv_pal_twos', 'DV PAL + twos', (720, 576), '25', 48000, '-c:v dvvideo -pix_fmt yuv420p', '-c:a pcm_s16be',
         'video/x-raw,format=I420,pixel-aspect-ratio=16/15 ! avenc_dvvideo', 'audio/x-raw,format=S16BE'),
    Pair('dv_ntsc_sowt', 'DV NTSC + sowt', (720, 480), '30000/1001', 48000, '-c:v dvvideo -pix_fmt yuv411p',
         '-c:a pcm_s16le', 'video/x-raw,format=Y41B,pixel-aspect-ratio=8/9 ! avenc_dvvideo', 'audio/x-raw,format=S16LE'),
    Pair('dv50_twos', 'DV50 + twos', (720, 576), '25', 48000, '-c:v dvvideo -pix_fmt yuv422p', '-c:a pcm_s16be',
         'video/x-raw,format=Y42B,pixel-aspect-ratio=16/15 ! avenc_dvvideo', 'audio/x-raw,format=S16BE'),
    Pair('mjpeg_twos', 'Motion-JPEG + twos', (320, 240), '30', 44100, '-c:v mjpeg -pix_fmt yuvj420p -q:v 5',
         '-c:a pcm_s16be', 'video/x-raw,format=I420 ! jpegenc quality=85', 'audio/x-raw,format=S16BE',
         dense_size=(640, 360), ff_dense='-q:v 3', gst_dense='quality=95'),
    Pair('h264_aac', 'H.264 B + AAC', (320, 240), '30', 44100, X264_FF, '-c:a aac -b:a 128k',
         'video/x-raw,format=I420 ! ' + X264_GST, 'avenc_aac bitrate=128000', inter=True,
         dense_size=(640, 360), ff_dense='-b:v 12M', gst_dense='bitrate=12000'),
    Pair('h264_sowt', 'H.264 B + sowt', (320, 240), '30', 48000, X264_FF, '-c:a pcm_s16le',
         'video/x-raw,format=I420 ! ' + X264_GST, 'audio/x-raw,format=S16LE', inter=True),
    # qtmux takes neither IMA4 (only the 'dvi' layout) nor avenc_mpeg4's pictures (they come without
    # timestamps), so this pair is ffmpeg's alone.
    Pair('mpeg4_ima4', 'MPEG-4 B + ima4', (320, 240), '30', 44100, '-c:v mpeg4 -q:v 5 -bf 2 -g 30',
         '-c:a adpcm_ima_qt', None, None, inter=True, dense_size=(640, 360), ff_dense='-q:v 2'),
]}
UNMADE = {('qtmux', 'mpeg4_ima4'): 'qtmux takes no IMA4 (only audio/x-adpcm layout=dvi) and avenc_mpeg4 '
                                    'gives its pictures no timestamps (every sample of duration 0)'}


class Take:
    """A recording: muxer, pair, length and how it is made. `template` takes show another picture
    and sound; `dense` ones carry many bits a second (noise, high quality) so that damaged stretches
    of megabytes fit; `sound` is 'stereo', 'pairs' (two stereo tracks, as four-channel DV writes them)
    or 'mono' (two mono tracks); `timecode` writes a timecode track starting there, `subcode` also DV
    time code packs counting from it."""

    def __init__(self, muxer, pair, seconds, template=False, dense=False, sound='stereo', timecode=None,
                 subcode=False):
        self.muxer, self.pair, self.seconds, self.template, self.dense = muxer, PAIRS[pair], seconds, template, dense
        self.sound, self.timecode, self.subcode = sound, timecode, subcode

    def like(self):
        """The template of this take: made the same way, shorter, another picture and sound; its
        timecode (if any) starts elsewhere, so a copied start time shows."""
        return Take(self.muxer, self.pair.name, 3, template=True, dense=self.dense, sound=self.sound,
                    timecode='01:02:03:04' if self.timecode else None, subcode=self.subcode)

    def sound_rate(self):
        return 32000 if self.sound == 'pairs' else self.pair.sound_rate

    def tracks(self):
        """Seeds of the noise of each sound track's channels (never the same signal twice)."""
        base = 200 if self.template else 100
        if self.sound == 'stereo':
            return [(base + 1, base + 2)]
        if self.sound == 'pairs':
            return [(base + 1, base + 2), (base + 3, base + 4)]
        return [(base + 1,), (base + 2,)]

    def frames(self):
        num, _, den = self.pair.rate.partition('/')
        return int(round(self.seconds * int(num) / int(den or 1)))

    def size(self):
        return self.pair.dense_size if self.dense else self.pair.size

    def command(self, out, paced=False):
        return self._ffmpeg(out, paced) if self.muxer == 'ffmpeg' else self._gst(out, paced)

    def _ffmpeg(self, out, paced):
        p, (w, h) = self.pair, self.size()
        re = ['-re'] if paced else []
        source = 'testsrc2' if self.template else 'testsrc'
        args = re + ['-f', 'lavfi', '-i', '%s=size=%dx%d:rate=%s:duration=%g' % (source, w, h, p.rate, self.seconds)]
        graph, maps, n = [], [], 1
        video = '0:v'
        if self.dense and not p.name.startswith('dv'):
            graph.append('[0:v]noise=alls=16:allf=t+u[v]')
            video = '[v]'
        maps += ['-map', video]
        for t, seeds in enumerate(self.tracks()):
            labels = ''
            for seed in seeds:
                args += re + ['-f', 'lavfi', '-i', 'anoisesrc=seed=%d:amplitude=0.3:sample_rate=%d:duration=%g'
                              % (seed, self.sound_rate(), self.seconds)]
                labels += '[%d:a]' % n
                n += 1
            if len(seeds) == 2:
                graph.append('%samerge=inputs=2[a%d]' % (labels, t))
                maps += ['-map', '[a%d]' % t]
            else:
                maps += ['-map', labels[1:-1]]
        if graph:
            args += ['-filter_complex', ';'.join(graph)]
        args += maps + p.ff_video.split() + (p.ff_dense.split() if self.dense else []) + p.ff_sound.split()
        if self.timecode:
            args += ['-timecode', self.timecode]
        return ['ffmpeg', '-nostdin', '-hide_banner', '-loglevel', 'error', '-y'] + args + BITEXACT + ['-f', 'mov', out]

    def _gst(self, out, paced):
        p, (w, h) = self.pair, self.size()
        sync = ' ! identity sync=true' if paced else ''
        num, _, den = p.rate.partition('/')
        pattern = 'zone-plate kx2=35 ky2=8 kt=2' if self.template else 'zone-plate kx2=20 ky2=20 kt=1'
        raw, encoder = p.gst_video.split(' ! ', 1)
        if self.dense and p.gst_dense:
            encoder += ' ' + p.gst_dense
        stamp = (' ! timecodestamper set=always source=internal set-internal-timecode=%s' % self.timecode
                 if self.timecode else '')
        # The zone plate repeats itself every 256 frames; a little snow makes every picture its own.
        size = 'width=%d,height=%d,framerate=%s/%s' % (w, h, num, den or '1')
        pipe = ('compositor name=c sink_1::alpha=0.1 ! %s,%s%s%s ! %s ! q.video_0 '
                'videotestsrc pattern=%s num-buffers=%d ! video/x-raw,%s ! c. '
                'videotestsrc pattern=snow num-buffers=%d ! video/x-raw,%s ! c.'
                % (raw, size, sync, stamp, encoder, pattern, self.frames(), size, self.frames(), size))
        rate = self.sound_rate()
        for t, seeds in enumerate(self.tracks()):
            wav = sound_file(seeds, rate, self.seconds)
            convert = 'audioconvert ! %s,rate=%d,channels=%d' % (p.gst_sound, rate, len(seeds))
            if not p.gst_sound.startswith('audio/'):
                convert = 'audioconvert ! audio/x-raw,rate=%d,channels=%d ! %s' % (rate, len(seeds), p.gst_sound)
            # Buffers of 1024 sample frames, as a sound card's source hands them over.
            pipe += (' filesrc location=%s ! wavparse ! audiobuffersplit output-buffer-duration=1024/%d%s ! %s ! q.audio_%d'
                     % (wav, rate, sync, convert, t))
        pipe += ' qtmux name=q ! filesink location=%s' % out
        return ['gst-launch-1.0', '-q'] + pipe.split()

    def name(self):
        key = ' '.join(self.command('OUT'))
        parts = [self.muxer, self.pair.name, '%gs' % self.seconds] + (['template'] if self.template else []) + \
                (['dense'] if self.dense else []) + ([self.sound] if self.sound != 'stereo' else []) + \
                (['tc'] if self.timecode else []) + (['subcode'] if self.subcode else [])
        return '-'.join(parts) + '-' + hashlib.sha1(key.encode()).hexdigest()[:8]


def publish(temp, final):
    """Moves a finished file (or folder) into the cache; another process may have won meanwhile."""
    try:
        os.rename(temp, final)
    except OSError:
        shutil.rmtree(temp, ignore_errors=True) if os.path.isdir(temp) else os.remove(temp)


def temp_name(final):
    return '%s.part-%d-%d' % (final, os.getpid(), random.randrange(1 << 30))


def sound_file(seeds, rate, seconds):
    """A WAV of seeded noise, one seed a channel (what GStreamer records from)."""
    final = os.path.join(CACHE, 'noise-%s-%d-%g.wav' % ('-'.join(map(str, seeds)), rate, seconds))
    if not os.path.exists(final):
        temp = temp_name(final) + '.wav'
        inputs, labels = [], ''
        for i, seed in enumerate(seeds):
            inputs += ['-f', 'lavfi', '-i', 'anoisesrc=seed=%d:amplitude=0.3:sample_rate=%d:duration=%g' % (seed, rate, seconds)]
            labels += '[%d:a]' % i
        graph = ['-filter_complex', '%samerge=inputs=%d' % (labels, len(seeds))] if len(seeds) > 1 else []
        ffmpeg('-y', *inputs, *graph, '-c:a', 'pcm_s16le', *BITEXACT, temp)
        publish(temp, final)
    return final


def write_subcode(path, start, fps):
    """Writes DV time code packs (SSYB pack 0x13, BCD frames, seconds, minutes, hours) into both
    subcode DIF blocks of every DIF sequence of every video frame, counting up from `start`, as a
    camera records them. Only the subcode changes; the pictures decode as before."""
    m = Movie(path)
    hh, mm, ss, ff = (int(x) for x in start.split(':'))
    first = ((hh * 60 + mm) * 60 + ss) * fps + ff
    bcd = lambda v: (v // 10) << 4 | v % 10
    with open(path, 'r+b') as f:
        for n, s in enumerate(m.of('vide')[0].samples):
            count = first + n
            pack = bytes([0x13, bcd(count % fps), bcd(count // fps % 60), bcd(count // fps // 60 % 60),
                          bcd(count // fps // 3600 % 24)])
            frame = bytearray(s['size'])
            f.seek(s['offset'])
            f.readinto(frame)
            for seq in range(0, len(frame) // 12000):
                for block in (1, 2):
                    for k in range(6):
                        at = seq * 12000 + block * 80 + 3 + 8 * k + 3
                        frame[at:at + 5] = pack
            f.seek(s['offset'])
            f.write(frame)


def dv_timecode(path):
    """The time code ffmpeg reads from the subcode of a clip's first DV frame."""
    s = Movie(path).of('vide')[0].samples[0]
    with open(path, 'rb') as f:
        f.seek(s['offset'])
        frame = f.read(s['size'])
    with tempfile.NamedTemporaryFile(suffix='.dv') as raw:
        raw.write(frame)
        raw.flush()
        r = run(['ffprobe', '-v', 'error', '-f', 'dv', '-show_entries', 'format_tags=timecode', '-of', 'json', raw.name])
    return json.loads(r.stdout or b'{}').get('format', {}).get('tags', {}).get('timecode')


def make(take):
    """The take's file in the cache, made unless it is there."""
    final = os.path.join(CACHE, take.name() + '.mov')
    if os.path.exists(final):
        return final
    temp = temp_name(final) + '.mov'
    r = run(take.command(temp))
    if r.returncode or not os.path.exists(temp):
        raise RuntimeError('could not record %s: %s\n%s' % (take.name(), ' '.join(take.command(temp)),
                                                             (r.stderr + r.stdout).decode(errors='replace')[-800:]))
    if take.subcode:
        write_subcode(temp, take.timecode, 25 if take.pair.rate == '25' else 30)
    publish(temp, final)
    return final


def make_killed(take):
    """The take recorded in real time with its recorder killed (SIGKILL) once it has written more
    than half of what the same recording writes when it runs to its end (the reference). The kill
    point depends on the machine's speed; the take is judged against the reference wherever it lies.
    Returns the folder holding killed.mov and killed.json (what the killed file has of the reference)."""
    reference = make(take)
    final = os.path.join(CACHE, take.name() + '-killed')
    if os.path.isdir(final):
        return reference, final
    temp = temp_name(final)
    os.makedirs(temp)
    out = os.path.join(temp, 'killed.mov')
    want = os.path.getsize(reference) * 0.55
    recorder = subprocess.Popen(take.command(out, paced=True), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    deadline = time.time() + 4 * take.seconds + 30
    while recorder.poll() is None and time.time() < deadline:
        if os.path.exists(out) and os.path.getsize(out) > want:
            break
        time.sleep(0.02)
    ended = recorder.poll() is not None
    recorder.send_signal(signal.SIGKILL)
    recorder.wait()
    if ended or not os.path.exists(out):
        shutil.rmtree(temp)
        raise RuntimeError('the recorder of %s ended before it could be killed' % take.name())
    ref, killed = open(reference, 'rb').read(), open(out, 'rb').read()
    header = Movie(reference).mdat_header
    same = bytearray(killed)
    same[header:header + 4] = ref[header:header + 4]
    diff = next((i for i in range(min(len(same), len(ref))) if same[i] != ref[i]), None) \
        if ref[:len(same)] != bytes(same) else None
    facts = {'size': len(killed), 'reference': len(ref), 'mdat_size_field': struct.unpack('>I', killed[header:header + 4])[0],
             'prefix': diff is None and len(killed) <= len(ref), 'first_difference': diff}
    json.dump(facts, open(os.path.join(temp, 'killed.json'), 'w'))
    publish(temp, final)
    return reference, final


# What a player shows of a clip: its pictures by time, its sound, its timecode.

def frames_of(path):
    """Each decoded picture's presentation time (seconds) and MD5, as ffmpeg presents them."""
    out = ffmpeg('-i', path, '-map', '0:v:0', '-fps_mode', 'passthrough', '-enc_time_base', '-1', '-f', 'framemd5', '-')
    frames, tb = [], None
    for line in out.decode().splitlines():
        if line.startswith('#tb 0:'):
            num, den = line.split(':', 1)[1].strip().split('/')
            tb = int(num) / int(den)
        elif line and not line.startswith('#'):
            f = [x.strip() for x in line.split(',')]
            frames.append((int(f[2]) * tb, f[5]))
    return frames


def probe(path):
    r = run(['ffprobe', '-v', 'error', '-show_entries',
             'stream=codec_type,sample_rate,channels,start_time:stream_tags=timecode:format_tags=timecode', '-of', 'json', path])
    return json.loads(r.stdout or b'{}')


def timecode_of(info):
    streams = info.get('streams', [])
    for kind in ('data', 'video'):
        for s in streams:
            if s.get('codec_type') == kind and s.get('tags', {}).get('timecode'):
                return s['tags']['timecode']
    return info.get('format', {}).get('tags', {}).get('timecode')


def sounds_of(path, info):
    """Each sound track decoded, as float samples (frames x channels) from time 0, and its rate."""
    out = []
    for k, s in enumerate(x for x in info.get('streams', []) if x.get('codec_type') == 'audio'):
        rate, channels = int(s['sample_rate']), int(s['channels'])
        a = np.frombuffer(ffmpeg('-i', path, '-map', '0:a:%d' % k, '-f', 'f32le', '-c:a', 'pcm_f32le', '-'), '<f4')
        a = a[:len(a) // channels * channels].reshape(-1, channels)
        shift = int(round(float(s.get('start_time') or 0) * rate))
        a = np.vstack([np.zeros((shift, channels), np.float32), a]) if shift > 0 else a[-shift:]
        out.append((rate, a))
    return out


class Seen:
    """What a player sees of a clip."""

    def __init__(self, path):
        info = probe(path)
        self.frames, self.sounds, self.timecode = frames_of(path), sounds_of(path, info), timecode_of(info)


def seen_original(path):
    """The original's frames, sound and timecode, kept beside it in the cache."""
    final = path + '.seen.npz'
    if not os.path.exists(final):
        s = Seen(path)
        temp = temp_name(final) + '.npz'
        with open(temp, 'wb') as f:
            np.savez(f, meta=json.dumps({'frames': s.frames, 'timecode': s.timecode, 'rates': [r for r, _ in s.sounds]}),
                     **{'sound%d' % i: a for i, (_, a) in enumerate(s.sounds)})
        publish(temp, final)
    z = np.load(final)
    meta = json.loads(str(z['meta']))
    s = Seen.__new__(Seen)
    s.frames = [tuple(f) for f in meta['frames']]
    s.timecode = meta['timecode']
    s.sounds = [(r, z['sound%d' % i]) for i, r in enumerate(meta['rates'])]
    return s


def sound_offset(original, repaired, rate, at, window=0.1, search=2.0):
    """Where the repaired sound of [at, at + window) lies in the original: its offset in sample frames
    (positive: the repaired sound plays late), or why none: 'missing' (the repaired sound ends
    before), 'silent', 'not the original's' (no channel of it in the original within +-search)."""
    n, i, reach = int(window * rate), int(round(at * rate)), int(search * rate)
    if i + n > len(repaired):
        return 'missing'
    piece = repaired[i:i + n].astype(np.float64)
    if np.sqrt(np.mean(piece ** 2)) < 1e-4:
        return 'silent'
    lo, hi = max(0, i - reach), min(len(original), i + n + reach)
    if hi - lo < n:
        return "not the original's"
    lags = set()
    for c in range(min(piece.shape[1], original.shape[1])):
        seg, w = original[lo:hi, c].astype(np.float64), piece[:, c]
        size = 1 << (len(seg) + n).bit_length()
        corr = np.fft.irfft(np.fft.rfft(seg, size) * np.conj(np.fft.rfft(w, size)), size)[:len(seg) - n + 1]
        energy = np.concatenate([[0], np.cumsum(seg ** 2)])
        norm = np.sqrt(np.maximum(energy[n:] - energy[:-n], 1e-12) * np.sum(w ** 2))
        score = corr / norm
        best = int(np.argmax(score))
        if score[best] < 0.5:
            return "not the original's"
        lags.add(i - (lo + best))
    return lags.pop() if len(lags) == 1 else 'channels differ'


# Damage, and the judgement of a repaired clip against its original.

class Damage:
    """Stretches of the media overwritten ((offset, bytes, 'zeros'|'random')) and where the file ends."""

    def __init__(self, label, regions, cut):
        self.label, self.regions, self.cut = label, regions, cut

    def apply(self, original, out):
        d = bytearray(open(original, 'rb').read()[:self.cut])
        rng = random.Random(18)
        for offset, size, fill in self.regions:
            d[offset:offset + size] = bytes(size) if fill == 'zeros' else bytes(rng.getrandbits(8) for _ in range(size))
        open(out, 'wb').write(d)

    def hit(self, offset, size):
        """Which region a piece of the file lies in: its index, 'cut' or None."""
        for i, (o, s, _) in enumerate(self.regions):
            if offset < o + s and offset + size > o:
                return i
        return 'cut' if offset + size > self.cut else None


def cut_inside_a_frame(m, share):
    """A cut inside the video sample at `share` of the media; for B-frame codecs inside the first
    sample after a reference frame that is shown after it (so its B-frames are lost)."""
    v = sorted(m.of('vide')[0].samples, key=lambda s: s['decode'])
    i = int(len(v) * share)
    for j in range(i, len(v) - 1):
        if v[j]['time'] > v[j + 1]['time']:
            i = j + 1
            break
    return Damage('cut at %d%%' % round(100 * share), [], v[i]['offset'] + v[i]['size'] // 2)


def holes(m):
    span = m.media_end - m.media_start
    at = lambda share: m.media_start + int(span * share)
    return Damage('3 holes, cut at 90%', [(at(0.25), 64 << 10, 'zeros'), (at(0.5), 1 << 20, 'random'),
                                          (at(0.7), 8 << 20, 'zeros')], at(0.9))


def head_lost(m):
    return Damage('first 256 KB zeroed, cut at 80%', [(m.media_start, 256 << 10, 'zeros')],
                  m.media_start + int((m.media_end - m.media_start) * 0.8))


class Stretch:
    """A stretch of the recording between damaged regions (or the cut): its sound time, its frames
    (by file place), and what the repaired clip has of them."""

    def __init__(self, start, end):
        self.start, self.end = start, end
        self.frames = self.right = 0
        self.offsets = []       # per sound track: the offset of each window, in order
        self.first = None       # the first frame after the region before it: 'right', 'wrong', 'missing'


class Verdict:
    """A repaired clip against its original: frames right/wrong/missing/left out, the sound offset
    of each stretch between damaged regions, the timecode."""

    def __init__(self):
        self.status, self.message, self.report = None, '', ''
        self.before_cut = self.right = self.held = 0
        self.wrong, self.missing, self.left_out = [], [], {}
        self.stretches, self.rates = [], []
        self.timecode = None    # (original, repaired)
        self.killed = self.unplayable = self.damage = self.error = None
        self.notes, self.take_problems = [], []
        self.own = None         # DV repaired without a template: its status, report and likeness
        self.tracks_made = 'stereo'  # the take's sound tracks (Take.sound)

    def failures(self):
        f = list(self.take_problems)
        if self.status != 0:
            f.append('cliprepair exited %s: %s' % (self.status, self.message))
            return f
        if self.unplayable:
            f.append('exit 0, but ffmpeg cannot decode the repaired clip: ' + self.unplayable)
        if self.wrong:
            f.append('%d frame(s) not the original\'s at their time, e.g. %s' % (len(self.wrong), '; '.join(self.wrong[:3])))
        if self.missing:
            f.append('%d whole frame(s) of the original left out, e.g. at %s' %
                     (len(self.missing), ', '.join('%.3f s' % t for t in self.missing[:5])))
        for s in self.stretches:
            for k, offsets in enumerate(s.offsets):
                if any(o != 0 for o in offsets):
                    f.append('sound %sof %.2f-%.2f s: %s' % ('track %d ' % (k + 1) if len(s.offsets) > 1 else '',
                                                             s.start, s.end, self.offsets(k, offsets)))
        if self.timecode and self.timecode[0] != self.timecode[1]:
            f.append('timecode %s, the original\'s %s' % (self.timecode[1] or 'missing', self.timecode[0]))
        f += self.own_failures()
        return f

    def own_failures(self):
        """Without a template: the same clip as with it; where the sound is two tracks of two
        channels (four channels to the media), the same video, the sound left out and said so."""
        o = self.own
        if not o:
            return []
        if o['status'] != 0:
            return ['without a template cliprepair exited %s: %s' % (o['status'], o['message'])]
        if self.tracks_made == 'mono':
            # Two tracks of noise, one channel each, read as one track of two: noise gives no sign of
            # it (smoother signals do). Told in the table, not checked.
            return []
        f = ['without a template: ' + d for d in o['differs']]
        if self.tracks_made == 'pairs':
            if o['same'].get('soun') is not None or 'left out: its format could not be told for certain' not in o['report']:
                f.append('without a template: the sound of two tracks of two is not left out, or the report does not say so')
        elif o['same'].get('soun') is None:
            f.append('without a template: no sound track')
        return f

    def own_text(self):
        o = self.own
        if not o:
            return None
        if o['status'] != 0:
            return 'without a template: exit %s, %s' % (o['status'], o['message'])
        words = []
        for kind, label in (('vide', 'video'), ('soun', 'sound')):
            v = o['same'].get(kind)
            words.append('%s left out' % label if v is None else
                         '%s %s' % (label, ', '.join('%s %s' % (k, 'equal' if v[k] else 'DIFFER')
                                                      for k in ('samples', 'format', 'times'))))
        return 'without a template: %s%s' % ('; '.join(words), ('; ' + '; '.join(o['differs'][:3])) if o['differs'] else '')

    def offsets(self, k, offsets):
        """A track's window offsets in order, repeats told once."""
        words = []
        for o in offsets:
            w = o if isinstance(o, str) else '0' if o == 0 else '%+d (%+.1f ms)' % (o, 1000 * o / self.rates[k])
            if not words or words[-1] != w:
                words.append(w)
        return ', '.join(words)

    def sound(self, s):
        return ' & '.join(self.offsets(k, o) for k, o in enumerate(s.offsets)) or '-'


def expected_frames(m, damage, inter, mpeg4):
    """The original's video samples, each with the reason it may be missing from the repair (None:
    it must be there): damaged, after the cut, waiting for the next key frame after lost data, a
    reference frame shown after a frame that is lost, an MPEG-4 frame whose end does not show."""
    v = sorted(m.of('vide')[0].samples, key=lambda s: s['decode'])
    why = []
    for s in v:
        h = damage.hit(s['offset'], s['size'])
        why.append(None if h is None else 'after the cut' if h == 'cut' else 'damaged')
    if inter:
        waiting, key = False, None
        for i, s in enumerate(v):
            if why[i]:
                waiting, key = True, None
            elif s['sync']:
                # The frames decoded after the key frame and shown before it refer to the frame
                # before it too (an open group), which is lost.
                key = s['time'] if waiting else None
                waiting = False
            elif waiting:
                why[i] = 'until the next key frame'
            elif key is not None and s['time'] < key:
                why[i] = 'refers to a frame before the key frame'
            else:
                key = None
        for i, s in enumerate(v):
            if why[i] is None and any(why[j] and v[j]['time'] < s['time'] for j in range(i + 1, min(i + 8, len(v)))):
                why[i] = 'shown after a lost frame'
    if mpeg4:
        kept = [i for i in range(len(v)) if why[i] is None]
        if kept and kept[-1] + 1 < len(v) and why[kept[-1] + 1] == 'after the cut':
            why[kept[-1]] = 'its end does not show'
    return v, why


def stretches_of(m, damage):
    """The stretches between damaged regions and the cut, in sound time on the first sound track:
    from the first sound chunk wholly after a region to the last one wholly before the next."""
    chunks = m.of('soun')[0].chunks
    out, start = [], max(0.0, min(c['start'] for c in chunks))
    for offset, size, _ in sorted(damage.regions) + [(damage.cut, 0, 'cut')]:
        before = [c['end'] for c in chunks if c['offset'] + c['size'] <= offset]
        after = [c['start'] for c in chunks if c['offset'] >= offset + size]
        end = max(before) if before else start
        out.append(Stretch(start, end))
        start = min(after) if after else end
    return out


def same_layout(with_template, own):
    """A DV take repaired without a template (its layout read from the media) against the same take
    repaired with one, per track kind ('vide', 'soun'): the same samples (chunks at the same places,
    the same bytes), the same format (video size, sound codec, channels, bits and rate; DV50's
    four-cc aside, which qtmux gives as plain DV's) and the same times (each chunk's start and end).
    The timecode track is the template's alone. Returns each kind's verdicts (None where the clip
    without a template has no such track) and what differs."""
    a, b = Movie(with_template), Movie(own)
    da, db = open(with_template, 'rb').read(), open(own, 'rb').read()
    same, differs = {}, []
    for kind in ('vide', 'soun'):
        ta, tb = a.of(kind), b.of(kind)
        if not tb:
            same[kind] = None
            continue
        same[kind] = v = {'samples': len(ta) == len(tb), 'format': len(ta) == len(tb), 'times': len(ta) == len(tb)}
        if len(ta) != len(tb):
            differs.append('%d %s track(s), with the template %d' % (len(tb), kind, len(ta)))
        for x, y in zip(ta, tb):
            if x.description != y.description or (kind == 'soun' and x.format != y.format) or \
                    (kind == 'vide' and x.format != y.format and {x.format, y.format} != {'dvcp', 'dv5p'}):
                v['format'] = False
                differs.append('%s %s %s, with the template %s %s' % (kind, y.format, y.description, x.format, x.description))
            places = lambda t: [(c['offset'], c['size']) for c in t.chunks]
            if places(x) != places(y) or x.count != y.count or any(da[o:o + n] != db[o:o + n] for o, n in places(x)):
                v['samples'] = False
                differs.append('%s samples differ (%d, with the template %d)' % (kind, y.count, x.count))
            if len(x.chunks) != len(y.chunks) or any(abs(p['start'] - q['start']) > 1e-6 or abs(p['end'] - q['end']) > 1e-6
                                                     for p, q in zip(x.chunks, y.chunks)):
                v['times'] = False
                differs.append('%s times differ' % kind)
    return same, differs


def judge(tool, take, original, damage, template, killed=None):
    v = Verdict()
    v.killed, v.damage = killed, damage
    v.tracks_made = take.sound
    m = Movie(original)
    seen = seen_original(original)
    v.rates = [r for r, _ in seen.sounds]
    folder = tempfile.mkdtemp(prefix='clipharbor-take-')
    try:
        damaged, out = os.path.join(folder, 'Take.mov'), os.path.join(folder, 'Repaired.mov')
        if killed:
            shutil.copyfile(killed['path'], damaged)
        else:
            damage.apply(original, damaged)
        if take.pair.name.startswith('dv'):
            # DV alone in its folder, no template: its layout is read from the media.
            own = os.path.join(folder, 'own', 'Repaired.mov')
            os.makedirs(os.path.dirname(own))
            r = run([tool, damaged, '-o', own])
            v.own = {'status': r.returncode, 'report': r.stdout.decode(errors='replace'),
                     'message': (r.stderr.decode(errors='replace').strip().splitlines() or [''])[0]}
        r = run([tool, damaged, '--like', template, '-o', out])
        v.status = r.returncode
        if v.own and v.own['status'] == 0 and r.returncode == 0:
            v.own['same'], v.own['differs'] = same_layout(out, own)
        lines = (r.stderr or r.stdout).decode(errors='replace').strip().splitlines()
        # A sanitizer's report or a signal says more than the first line.
        crash = [line for line in lines if 'ERROR: AddressSanitizer' in line or 'runtime error:' in line]
        line = crash[0] if crash else 'killed by signal %d' % -v.status if v.status < 0 else lines[0] if lines else ''
        v.message = line.replace(folder + os.sep, '').replace(CACHE + os.sep, '')
        v.report = r.stdout.decode(errors='replace')
        if v.status == 0 and not os.path.exists(out):
            v.status, v.message = 'no file', 'exit 0 but no repaired clip'
        if v.status != 0:
            return v
        got = Seen.__new__(Seen)
        info = probe(out)
        try:
            got.frames = frames_of(out)
        except RuntimeError as e:
            v.unplayable = str(e).strip().splitlines()[-2 if len(str(e).strip().splitlines()) > 1 else -1][:200]
            got.frames = []
        got.sounds, got.timecode = sounds_of(out, info), timecode_of(info)
    finally:
        shutil.rmtree(folder, ignore_errors=True)

    # Frames: each repaired picture against the original's picture at its time.
    samples, why = expected_frames(m, damage, take.pair.inter, take.pair.name.startswith('mpeg4'))
    tolerance = samples[0]['duration'] / 8
    original = sorted(seen.frames)
    times = [t for t, _ in original]
    reason, sample_at = {}, {}
    for s, w in zip(samples, why):
        k = bisect.bisect_left(times, s['time'])
        k = min((i for i in (k - 1, k) if 0 <= i < len(times)), key=lambda i: abs(times[i] - s['time']))
        if abs(times[k] - s['time']) > tolerance:
            v.notes.append('the original\'s sample at %.3f s is shown by ffmpeg at no such time' % s['time'])
        reason[k], sample_at[k] = w, s
    first_time = {}
    for t, h in original:
        first_time.setdefault(h, t)
    shown, judged = set(), []
    for t, h in sorted(got.frames):
        k = bisect.bisect_left(times, t - tolerance)
        if k < len(times) and abs(times[k] - t) <= tolerance and k not in shown:
            if original[k][1] == h:
                shown.add(k)
                judged.append((t, 'right'))
                continue
            if reason.get(k) and k > 0 and h == original[k - 1][1]:
                v.held += 1
                judged.append((t, 'held'))
                continue
        judged.append((t, 'wrong'))
        where = first_time.get(h)
        v.wrong.append('%.3f s shows %s' % (t, 'the original\'s %.3f s' % where if where is not None else
                                             'a picture the original has not'))

    v.stretches = stretches_of(m, damage)
    starts = sorted(o for o, _, _ in damage.regions)
    for k in sorted(sample_at, key=lambda k: sample_at[k]['decode']):
        w, s = reason[k], sample_at[k]
        if w == 'after the cut':
            continue
        v.before_cut += 1
        stretch = v.stretches[bisect.bisect_right(starts, s['offset'])]
        stretch.frames += w != 'damaged'
        if k in shown:
            v.right += 1
            stretch.right += 1
        elif w is None:
            v.missing.append(times[k])
        else:
            v.left_out[w] = v.left_out.get(w, 0) + 1
        if w is None:
            stretch.video_start = min(getattr(stretch, 'video_start', times[k]), times[k])
    # The first repaired frame of each stretch after a damaged region: back at its own time or not.
    for stretch in v.stretches[1:]:
        after = [(t, verdict) for t, verdict in judged if t >= getattr(stretch, 'video_start', float('inf')) - tolerance]
        stretch.first = after[0][1] if after else 'none'
    v.stretches = [x for x in v.stretches if x.frames or x.end - x.start >= 0.15]
    repeats = len(original) - len({h for _, h in original})
    if repeats:
        v.take_problems.append('%d of the original\'s pictures repeat earlier ones: frames by time prove little' % repeats)

    # Sound: per stretch, windows at its start, middle and end, per track.
    margin = 0.06 if take.pair.name.endswith('aac') else 0.02
    for s in v.stretches:
        a, b = s.start, s.end
        if b - a < 0.15:
            continue
        points = [a + margin, (a + b) / 2 - 0.05, b - margin - 0.1] if b - a > 0.4 else [(a + b) / 2 - 0.05]
        for k, (rate, sound) in enumerate(seen.sounds):
            if k >= len(got.sounds):
                s.offsets.append(['no such track'])
            else:
                s.offsets.append([sound_offset(sound, got.sounds[k][1], rate, p) for p in points])
    if seen.timecode:
        v.timecode = (seen.timecode, got.timecode)
    return v


# The cases, and the two ways of running them.

class Case:
    def __init__(self, group, take, damage, killed=False):
        self.group, self.take, self.damage, self.killed = group, take, damage, killed

    def what(self, label=None):
        """The take and its damage in words."""
        t = self.take
        extra = []
        if t.sound == 'pairs':
            extra.append('2 stereo tracks')
        if t.sound == 'mono':
            extra.append('2 mono tracks')
        if t.timecode:
            extra.append('tmcd' + (' + DV subcode' if t.subcode else ''))
        return ', '.join([label or self.group] + extra)

    def title(self):
        return '%-6s %-18s %s' % (self.take.muxer, self.take.pair.label, self.what())


def cut(m):
    return cut_inside_a_frame(m, 0.75)


def cases():
    """Every case, ffmpeg's first: the pairs cut off; recorders killed; long takes with three holes;
    timecode (the track, and DV subcode when the media's start is lost); templates with two sound
    tracks, stereo pairs or mono, one of them with a timecode track too."""
    out = []
    tc = '10:11:12:13'
    for muxer in ('ffmpeg', 'qtmux'):
        made = [name for name in PAIRS if (muxer, name) not in UNMADE]
        out += [Case('cut', Take(muxer, name, 6), cut) for name in made]
        # ffmpeg writes its file in blocks of 256 KiB: the B-frame codecs at many bits a second, so
        # that a kill lands among many blocks.
        for name in ('dv_pal_twos', 'h264_aac', 'mpeg4_ima4' if muxer == 'ffmpeg' else 'mjpeg_twos'):
            out.append(Case('killed', Take(muxer, name, 8, dense=PAIRS[name].inter), None, killed=True))
        out += [Case('holes', Take(muxer, name, 40, dense=True), holes)
                for name in ('dv_pal_twos', 'h264_aac', 'mjpeg_twos', 'mpeg4_ima4') if name in made]
        out += [Case('cut', Take(muxer, 'dv_pal_twos', 6, timecode=tc), cut),
                Case('cut', Take(muxer, 'h264_aac', 6, timecode=tc), cut),
                Case('head lost', Take(muxer, 'dv_pal_twos', 6, timecode=tc, subcode=True), head_lost),
                Case('cut', Take(muxer, 'dv_pal_twos', 6, sound='pairs'), cut),
                Case('cut', Take(muxer, 'dv_pal_twos', 6, sound='mono'), cut),
                Case('cut', Take(muxer, 'dv_pal_twos', 6, sound='pairs', timecode=tc), cut)]
    return out


def prepare(case):
    """Records the case's take and template (once per machine) and what a player sees of the original."""
    template = make(case.take.like())
    killed = None
    if case.killed:
        original, folder = make_killed(case.take)
        killed = json.load(open(os.path.join(folder, 'killed.json')))
        killed['path'] = os.path.join(folder, 'killed.mov')
    else:
        original = make(case.take)
    if case.take.subcode:
        case.subcode = dv_timecode(original)
    seen_original(original)
    return original, template, killed


def evaluate(tool, case):
    try:
        original, template, killed = prepare(case)
        damage = Damage('killed at %d%%' % round(100 * killed['size'] / killed['reference']), [], killed['size']) \
            if killed else case.damage(Movie(original))
        v = judge(tool, case.take, original, damage, template, killed)
        if case.take.subcode:
            v.notes.append('ffmpeg reads the first frame\'s DV subcode time code as %s' % case.subcode)
            if case.subcode != case.take.timecode:
                v.take_problems.append('the DV subcode reads %s, not %s' % (case.subcode, case.take.timecode))
        if killed and not killed['prefix']:
            v.take_problems.append('the killed take is not the reference\'s byte prefix (first difference at %s)'
                                   % killed['first_difference'])
        return v
    except Exception as e:  # a take that cannot be made or read is a failure of its own
        v = Verdict()
        v.status, v.message = 'error', (str(e).strip().splitlines() or [repr(e)])[-1][:300]
        v.error = traceback.format_exc()
        return v


def missing_tools():
    need = [t for t in ('ffmpeg', 'ffprobe', 'gst-launch-1.0', 'gst-inspect-1.0') if not shutil.which(t)]
    if not need:
        need = [e for e in GST_ELEMENTS if run(['gst-inspect-1.0', '--exists', e]).returncode]
    return need


def table(rows):
    """The figures of every case, in plain text."""
    print('cliprepair on real takes, compared with the recordings by time.')
    print('frames: shown at their own time, of the original\'s frames before the cut; wrong: shown but not the')
    print('original\'s frame at that time; missing: whole frames left out that should be there. sound: offset of')
    print('each stretch\'s windows (start, middle, end) against the original, in sample frames; " & " between')
    print('tracks, " | " between stretches. tc: the start timecode.')
    print()
    head = '%-6s %-18s %-36s %-4s %-9s %-5s %-7s %-30s %s' % ('muxer', 'pair', 'take', 'exit', 'frames', 'wrong',
                                                            'missing', 'sound', 'tc')
    print(head)
    print('-' * len(head))
    unrecovered = []
    for case, v in rows:
        take = case.what(v.damage.label if v.damage else None)
        lead = '%-6s %-18s %-36s %-4s ' % (case.take.muxer, case.take.pair.label, take, v.status)
        if v.status != 0:
            print(lead + '(not recovered)')
            unrecovered.append('%s %s, %s: %s' % (case.take.muxer, case.take.pair.label, take, v.message))
            continue
        tc = '-' if not v.timecode else 'equal' if v.timecode[0] == v.timecode[1] else \
            '%s, not %s' % (v.timecode[1] or 'none', v.timecode[0])
        sound = ' | '.join(v.sound(s) for s in v.stretches if s.offsets)
        print(lead + '%-9s %-5d %-7d %-30s %s' % ('%d/%d' % (v.right, v.before_cut), len(v.wrong), len(v.missing),
                                                 sound, tc))
        more = []
        if len(v.stretches) > 1:
            for i, s in enumerate(v.stretches):
                more.append('stretch %d (sound %.2f-%.2f s): frames %d/%d%s, sound %s' % (
                    i + 1, s.start, s.end, s.right, s.frames,
                    ', first frame after the region %s' % s.first if i else '', v.sound(s)))
        if v.left_out:
            more.append('left out: ' + ', '.join('%d %s' % (n, w) for w, n in sorted(v.left_out.items())))
        if v.held:
            more.append('%d frame(s) held for lost ones' % v.held)
        if v.wrong:
            more.append('wrong: ' + '; '.join(v.wrong[:3]) + (' ...' if len(v.wrong) > 3 else ''))
        if v.missing:
            more.append('missing at ' + ', '.join('%.3f s' % t for t in v.missing[:4]) + (' ...' if len(v.missing) > 4 else ''))
        if v.unplayable:
            more.append('ffmpeg cannot decode the repaired pictures: ' + v.unplayable)
        if v.killed:
            more.append('killed file: %d of the reference\'s %d bytes, mdat size field %d, %s' % (
                v.killed['size'], v.killed['reference'], v.killed['mdat_size_field'],
                'the reference\'s byte prefix' if v.killed['prefix'] else 'NOT the reference\'s prefix'))
        if v.own_text():
            more.append(v.own_text())
        more += v.notes
        for line in more:
            print('%7s%s' % ('', line))
    if unrecovered:
        print('\nNot recovered:')
        for line in unrecovered:
            print('  ' + line)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    ap.add_argument('tool', help='the cliprepair program to try')
    ap.add_argument('--table', action='store_true', help='print the figures of every case, check nothing')
    ap.add_argument('--only', default='', help='run the cases whose title holds this text')
    ap.add_argument('--jobs', type=int, default=2)
    a = ap.parse_args()
    need = missing_tools()
    if need:
        print('takes: missing %s (tools/bootstrap.sh installs them)' % ', '.join(need))
        return 1
    os.makedirs(CACHE, exist_ok=True)
    tool = os.path.abspath(a.tool)
    todo = [c for c in cases() if a.only in c.title()]
    started = time.time()
    with concurrent.futures.ThreadPoolExecutor(a.jobs) as pool:
        rows = list(zip(todo, pool.map(lambda c: evaluate(tool, c), todo)))
    if a.table:
        table(rows)
        return 0
    failed = 0
    for case, v in rows:
        problems = v.failures()
        print('%s %s' % ('FAIL' if problems else 'ok  ', case.title()))
        for p in problems:
            print('       ' + p)
        if v.error:
            print('       ' + v.error.replace('\n', '\n       '))
        failed += bool(problems)
    print('takes: %d cases in %.0f s' % (len(rows), time.time() - started))
    print('%d passed, %d failed' % (len(rows) - failed, failed))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
