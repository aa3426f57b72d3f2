#!/usr/bin/env python3
"""Share of frames cliprepair brings back, per codec pair and kind of damage.

Makes the device-like pairs with ffmpeg (a clip and a template recorded the same way), damages
each clip many ways (cut inside a video frame and inside a sound chunk at many points, right after
the 'mdat' header, at its last byte, the whole media without a movie header, the 'mdat' size 0,
preallocated or garbage, a zeroed tail, zeros inside), repairs it and counts the frames the
repaired clip holds against the whole frames before the damage (from the original's tables).
Usage: bench/repair/recovery.py CLIPREPAIR [FOLDER] [CUTS]   (CUTS random cut points per kind, default 10)
"""
import os, random, shutil, struct, subprocess, sys

PAIRS = [  # name, size, rate, seconds, video, sound, sound rate
    ("DV 525/60 + sowt", "720x480", "30000/1001", 2, "-c:v dvvideo -pix_fmt yuv411p", "-c:a pcm_s16le -ac 2", 48000),
    ("DV 625/50 + twos", "720x576", "25", 2, "-c:v dvvideo -pix_fmt yuv420p", "-c:a pcm_s16be -ac 2", 48000),
    ("Motion-JPEG + twos", "320x240", "30", 3, "-c:v mjpeg -q:v 5", "-c:a pcm_s16be", 44100),
    ("H.264 + AAC", "320x240", "30", 4, "-c:v libx264 -preset veryfast -threads 1 -pix_fmt yuv420p", "-c:a aac -b:a 64k", 44100),
    ("H.264 + sowt", "320x240", "30", 4, "-c:v libx264 -preset veryfast -threads 1 -pix_fmt yuv420p", "-c:a pcm_s16le", 48000),
    ("MPEG-4 + IMA4", "320x240", "30", 4, "-c:v mpeg4 -q:v 5", "-c:a adpcm_ima_qt", 44100),
]


def make(path, pattern, size, rate, seconds, tone, video, sound, sound_rate):
    if os.path.exists(path):
        return
    subprocess.run(f"ffmpeg -nostdin -hide_banner -loglevel error -y -f lavfi -i {pattern}=size={size}:rate={rate}:"
                   f"duration={seconds} -f lavfi -i sine=frequency={tone}:sample_rate={sound_rate}:duration={seconds} "
                   f"{video} {sound} -fflags +bitexact -flags:v +bitexact -flags:a +bitexact -map_metadata -1 '{path}'",
                   shell=True, check=True)


def atoms(d, start, end):
    pos = start
    while pos + 8 <= end:
        size, kind = struct.unpack(">I4s", d[pos:pos + 8])
        header = 8
        if size == 1:
            size, header = struct.unpack(">Q", d[pos + 8:pos + 16])[0], 16
        elif size == 0:
            size = end - pos
        if size < header or pos + size > end:
            return
        yield kind, pos, pos + header, pos + size
        pos += size


def child(d, start, end, path):
    for kind, _, body, stop in atoms(d, start, end):
        if kind == path[0]:
            return (body, stop) if len(path) == 1 else child(d, body, stop, path[1:])
    return None


def video_samples(d):
    """The video track's samples as (offset, size), from its tables."""
    moov = child(d, 0, len(d), [b"moov"])
    for kind, _, body, stop in atoms(d, *moov):
        if kind != b"trak" or d[child(d, body, stop, [b"mdia", b"hdlr"])[0] + 8:][:4] != b"vide":
            continue
        stbl = dict((k, (b, e)) for k, _, b, e in atoms(d, *child(d, body, stop, [b"mdia", b"minf", b"stbl"])))
        def table(name, fmt):
            b, _ = stbl[name]
            n, size = struct.unpack(">I", d[b + 4:b + 8])[0], struct.calcsize(fmt)
            return [struct.unpack(fmt, d[b + 8 + i * size:b + 8 + (i + 1) * size]) for i in range(n)]
        offsets = [o for (o,) in table(b"stco", ">I")]
        runs = table(b"stsc", ">III")
        b, _ = stbl[b"stsz"]
        uniform, count = struct.unpack(">II", d[b + 4:b + 12])
        sizes = [uniform] * count if uniform else list(struct.unpack(f">{count}I", d[b + 12:b + 12 + 4 * count]))
        samples, n = [], 0
        for chunk, offset in enumerate(offsets):
            per = [r[1] for r in runs if r[0] <= chunk + 1][-1]
            for _ in range(per):
                if n < count:
                    samples.append((offset, sizes[n]))
                    offset += sizes[n]
                    n += 1
        return samples
    return []


def mdat_of(d):
    for kind, pos, body, stop in atoms(d, 0, len(d)):
        if kind == b"mdat":
            return pos, stop


def repaired_frames(tool, damaged, template):
    out = damaged[:-4] + "-repaired.mov"
    if os.path.exists(out):
        os.remove(out)
    result = subprocess.run([tool, damaged, "--like", template], capture_output=True, text=True)
    if result.returncode != 0:
        return 0
    frames = len(video_samples(open(out, "rb").read()))
    os.remove(out)
    return frames


def main():
    tool = os.path.abspath(sys.argv[1])
    folder = sys.argv[2] if len(sys.argv) > 2 else "build/bench/recovery"
    cuts = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(14)
    print(f"{'pair':20s} {'damage':38s} {'cases':>5s} {'whole frames':>12s} {'recovered':>9s} {'share':>7s}")
    for name, size, rate, seconds, video, sound, sound_rate in PAIRS:
        stem = name.replace(" ", "").replace("/", "").replace("+", "_").replace(".", "").replace("-", "")
        clip, template = f"{folder}/{stem}.mov", f"{folder}/{stem}_template.mov"
        make(clip, "testsrc", size, rate, seconds, 440, video, sound, sound_rate)
        make(template, "testsrc2", size, rate, 1, 330, video, sound, sound_rate)
        d = open(clip, "rb").read()
        frames = video_samples(d)
        header, end = mdat_of(d)
        frame_ends = [o + s for o, s in frames]
        # Where the sound lies: between one video frame's end and the next frame.
        gaps = [(frame_ends[i], frames[i + 1][0]) for i in range(len(frames) - 1) if frames[i + 1][0] > frame_ends[i]]
        late = frames[len(frames) * 2 // 3]
        at = late[0] + late[1] // 2
        kinds = {
            "cut inside a video frame": [o + rng.randrange(1, s) for o, s in rng.sample(frames, cuts)],
            "cut inside a sound chunk": [a + rng.randrange(1, b - a) for a, b in rng.sample(gaps, min(cuts, len(gaps)))],
            "cut right after the mdat header": [header + 8],
            "cut at the last byte": [end - 1],
            "whole media, no movie header": [end],
        }
        rows = []
        for kind, points in kinds.items():
            whole = got = 0
            for cut in points:
                path = f"{folder}/damaged.mov"
                open(path, "wb").write(d[:cut])
                whole += sum(1 for e in frame_ends if e <= cut)
                got += repaired_frames(tool, path, template)
            rows.append((kind, len(points), whole, got))
        for kind, value in (("mdat size 0", 0), ("mdat size preallocated", 0x7FFF0000), ("mdat size garbage", 0x1234)):
            b = bytearray(d[:at])
            b[header:header + 4] = struct.pack(">I", value)
            open(f"{folder}/damaged.mov", "wb").write(b)
            rows.append((kind, 1, sum(1 for e in frame_ends if e <= at), repaired_frames(tool, f"{folder}/damaged.mov", template)))
        b = bytearray(d[:at]) + bytes(3 << 20)
        b[header:header + 4] = struct.pack(">I", len(b) - header + (1 << 20))
        open(f"{folder}/damaged.mov", "wb").write(b)
        rows.append(("zeroed tail (3 MB)", 1, sum(1 for e in frame_ends if e <= at), repaired_frames(tool, f"{folder}/damaged.mov", template)))
        k = len(frames) // 3
        b = bytearray(d[:at])
        b[frames[k][0]:frames[k + 3][0]] = bytes(frames[k + 3][0] - frames[k][0])
        open(f"{folder}/damaged.mov", "wb").write(b)
        rows.append(("zeros inside (3 frames never written)", 1, sum(1 for e in frame_ends if e <= at) - 3,
                     repaired_frames(tool, f"{folder}/damaged.mov", template)))
        for kind, cases, whole, got in rows:
            share = f"{100 * got / whole:6.1f}%" if whole else "    -"
            print(f"{name:20s} {kind:38s} {cases:5d} {whole:12d} {got:9d} {share:>7s}")
        total_whole = sum(r[2] for r in rows)
        total_got = sum(r[3] for r in rows)
        print(f"{name:20s} {'all':38s} {sum(r[1] for r in rows):5d} {total_whole:12d} {total_got:9d} "
              f"{100 * total_got / total_whole:6.1f}%")
    os.remove(f"{folder}/damaged.mov")


main()
