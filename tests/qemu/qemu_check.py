#!/usr/bin/env python3
"""Real-hardware checks in the qemu-ata guest (an emulated ATA disk on a real Linux kernel).

  qemu_check.py probe --harness DIR --work DIR --bin QEMU_PROBE
      the drive layer's S.M.A.R.T. requests through LinuxKernel (qemu_probe) against smartctl
  qemu_check.py varim --harness DIR --work DIR --bin VARIM_STATIC
      `varim --json smart 0` against smartctl, and `varim --json scan 0` over injected bad sectors
  qemu_check.py nvme --harness DIR --work DIR --bin VARIM_STATIC
      the same on an emulated NVMe namespace: the health log against smartctl's, and the scan
  qemu_check.py nvme4k --harness DIR --work DIR --bin VARIM_STATIC
      standard and regenerate scans of an NVMe namespace with 4096-byte sectors, some of which
      cannot be read: inside a block and across a block boundary
  qemu_check.py selftest --harness DIR --work DIR --bin VARIM_STATIC
      the drive's own short self-test through `varim selftest 0 short --wait`, then `varim --json
      log 0` against `smartctl -j -l selftest -l error`; on NVMe the refusal and the error log

Exit 0 when every check passed, 1 when one failed, 77 (skipped) when the harness or the
packages it needs are missing here.
"""
import argparse
import json
import os
import re
import shutil
import subprocess
import sys

SKIP = 77
MODEL = "VARIM QEMU TEST DISK"
SERIAL = "VQ20260001"
SECTOR = 512


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIP)


class Checks:
    def __init__(self):
        self.failed = 0

    def equal(self, what, got, want):
        if got == want:
            print(f"ok   - {what}")
        else:
            self.failed += 1
            print(f"FAIL - {what}\n       want: {want!r}\n       got:  {got!r}")

    def true(self, what, condition, detail=""):
        self.equal(what + (f" ({detail})" if detail and not condition else ""), bool(condition), True)


def prepare(args):
    run = os.path.join(args.harness, "run")
    build = os.path.join(args.harness, "build-initramfs")
    if not (os.access(run, os.X_OK) and os.access(build, os.X_OK)):
        skip(f"no qemu-ata harness at {args.harness}")
    for tool in ("qemu-system-x86_64", "cpio", "modprobe", "smartctl"):
        if shutil.which(tool) is None and not os.path.exists(f"/usr/sbin/{tool}") and not os.path.exists(f"/sbin/{tool}"):
            skip(f"{tool} is not installed (qemu-system-x86, cpio, kmod, smartmontools)")
    if not os.path.exists(args.bin):
        skip(f"no test program {args.bin}")
    os.makedirs(args.work, exist_ok=True)
    env = dict(os.environ, QATA_WORK=args.work)
    if initramfs_is_current(args.work):
        return run, env
    built = subprocess.run([build, "--ref"], env=env, capture_output=True, text=True)
    if built.returncode != 0:
        skip("build-initramfs failed (missing linux-image-amd64, busybox-static or kmod?): "
             + (built.stderr.strip().splitlines() or ["no message"])[-1])
    return run, env


def initramfs_is_current(work):
    """An initramfs built earlier for a kernel that is still installed is reused (it takes a while)."""
    try:
        with open(os.path.join(work, "initramfs.cpio.kver")) as f:
            kver = f.read().strip()
    except OSError:
        return False
    newest = sorted((name[len("vmlinuz-"):] for name in os.listdir("/boot") if name.startswith("vmlinuz-")),
                    key=lambda v: [int(p) if p.isdigit() else p for p in re.split(r"[.-]", v)])
    return bool(kver) and newest[-1:] == [kver] and os.path.exists(os.path.join(work, "initramfs.cpio"))


def boot(run, env, args, disk, script, bad=(), timeout=280, controller="ahci", extra=()):
    # An NVMe controller has a fixed model; only its serial can be set.
    identity = ["--serial", SERIAL] if controller == "nvme" else ["--model", MODEL, "--serial", SERIAL]
    command = [run, "--controller", controller, "--disk", disk, *identity, "--timeout", str(timeout),
               "--add", f"{args.bin}:/usr/local/bin/{args.guest_name}", *extra]
    for b in bad:
        command += ["--bad", b]
    command += ["-c", script]
    done = subprocess.run(command, env=env, capture_output=True, text=True, errors="replace")
    if done.returncode in (124, 125):
        print(done.stdout)
        print(done.stderr, file=sys.stderr)
        print(f"FAIL - the guest did not finish (run exit {done.returncode})")
        sys.exit(1)
    return done.stdout.replace("\r\n", "\n")


def smartctl_facts(text):
    """Model, serial and [id, current, worst, raw low 16 bits, threshold] rows from smartctl -i -A -v N,raw48."""
    model = re.search(r"^Device Model:\s*(.*?)\s*$", text, re.M)
    serial = re.search(r"^Serial Number:\s*(.*?)\s*$", text, re.M)
    rows = []
    for line in text.splitlines():
        f = line.split()
        if len(f) >= 10 and f[0].isdigit() and f[2].startswith("0x"):
            rows.append([int(f[0]), int(f[3]), int(f[4]), int(f[9]) & 0xFFFF, int(f[5])])
    return (model.group(1) if model else None), (serial.group(1) if serial else None), rows


def section(text, name):
    match = re.search(rf"^@@@ {name}\n(.*?)(?=^@@@ |\Z)", text, re.M | re.S)
    return match.group(1) if match else ""


def check_probe(args):
    run, env = prepare(args)
    c = Checks()
    # Both of libata's transports: AHCI (ahci) and the PIIX IDE controller (ata_piix).
    for controller in ("ahci", "ide"):
        disk = os.path.join(args.work, f"probe-{controller}.img")
        if os.path.exists(disk):
            os.remove(disk)
        out = boot(run, env, args, disk, f"echo '@@@ probe'; {args.guest_name} 1000; "
                   "echo '@@@ smartctl'; smartctl -i -A -v N,raw48 /dev/sda", bad=["1000"], controller=controller)
        print(out)
        mine = section(out, "probe").splitlines()
        model, serial, rows = smartctl_facts(section(out, "smartctl"))
        c.true(f"{controller}: smartctl saw the attributes", len(rows) > 0)
        c.equal(f"{controller}: smartctl model", model, MODEL)
        c.equal(f"{controller}: smartctl serial", serial, SERIAL)
        for line in ["open ok /dev/sda", "version ok 1.1 map 1 caps 5", "enable ok", "identify ok", f"model {MODEL}",
                     f"serial {SERIAL}", "values ok", "values size 512", "thresholds ok",
                     "status fail 87 driver 3 ide 00", "readlog80 fail 87 driver 3 ide 00",
                     "readsectors fail 87 driver 3 ide 00", "power ok bytes 8 count ff",
                     "sectors 131072", "read 0 ok 0", "read bad-1 ok 0", "read bad fail 23", "claim ok "]:
            c.true(f"{controller}: probe printed '{line}'", line in mine)
        attrs = [[int(x) for x in l.split()[1:]] for l in mine if l.startswith("attr ")]
        thresholds = {int(l.split()[1]): int(l.split()[2]) for l in mine if l.startswith("thresh ")}
        got = [a + [thresholds.get(a[0], -1)] for a in attrs]
        c.equal(f"{controller}: attributes (id, current, worst, raw16, threshold) as smartctl reads them", got, rows)
    return c.failed


def random_disk(args, name):
    """A 64 MiB disk image of random bytes in the work folder: its path and its bytes."""
    disk = os.path.join(args.work, name)
    before = os.urandom(64 * 2048 * SECTOR)
    with open(disk, "wb") as f:
        f.write(before)
    return disk, before


def check_varim(args):
    run, env = prepare(args)
    disk, before = random_disk(args, "varim.img")
    bad = [1000, 5050, 5051, 19999, 30000]
    start, end = 0, 20000
    out = boot(run, env, args, disk,
               f"echo '@@@ metrics'; {args.guest_name} metrics; echo \"metrics-exit $?\"; "
               f"echo '@@@ smart'; {args.guest_name} --json smart 0; echo; echo \"smart-exit $?\"; "
               "echo '@@@ smartctl'; smartctl -i -A -v N,raw48 /dev/sda; "
               f"echo '@@@ scan'; {args.guest_name} --json scan 0 --start {start} --end {end} --mode standard "
               "2>/tmp/scan.err; echo; echo \"scan-exit $?\"; echo '@@@ scan-stderr'; tail -n 5 /tmp/scan.err",
               bad=["1000", "5050-5051", "19999", "30000"])
    print(out)
    c = Checks()
    model, serial, rows = smartctl_facts(section(out, "smartctl"))
    smart_text = section(out, "smart")
    c.true("varim smart exited 0", "smart-exit 0" in smart_text)
    smart = json_before(smart_text, "smart-exit", c, "varim smart")
    c.equal("varim model", smart.get("model"), MODEL)
    c.equal("varim serial", smart.get("serial"), SERIAL)
    c.equal("smartctl model", model, MODEL)
    got = [[a.get("id"), a.get("current"), a.get("worst"), a.get("raw"), a.get("threshold")]
           for a in smart.get("attributes", [])]
    c.true("smartctl saw the attributes", len(rows) > 0)
    c.equal("varim attributes (id, current, worst, raw16, threshold) against smartctl", got, rows)

    # metrics asked the disk CHECK POWER MODE first: the emulated disk is active or idle, so it
    # was read, under its kernel name, with whole 48-bit raw values as smartctl reads them.
    metrics = section(out, "metrics")
    c.true("varim metrics exited 0", "metrics-exit 0" in metrics)
    c.true("the disk answered CHECK POWER MODE: active or idle",
           'varim_drive_active{drive="0",device="sda"} 1' in metrics, metrics)
    raw48 = {int(f[0]): int(f[9]) for f in (l.split() for l in section(out, "smartctl").splitlines())
             if len(f) >= 10 and f[0].isdigit() and f[2].startswith("0x")}
    exported = {int(m.group(1)): int(m.group(2)) for m in
                re.finditer(r'^varim_attribute_raw\{drive="0",device="sda",id="(\d+)",name="[^"]*"\} (\d+)$', metrics, re.M)}
    c.equal("varim_attribute_raw against smartctl's raw48", exported, raw48)

    check_scan(c, disk, before, bad, start, end, section(out, "scan"))
    return c.failed


def json_before(text, marker, c, what):
    """The JSON document printed before the line starting with marker."""
    try:
        return json.loads(text[:text.rfind(marker)])
    except ValueError as error:
        c.true(f"{what} printed JSON", False, str(error))
        return {}


def check_scan(c, disk, before, bad, start, end, scan_text):
    c.true("varim scan exited 0", "scan-exit 0" in scan_text)
    scan = json_before(scan_text, "scan-exit", c, "varim scan")
    want_blocks = sorted({start + (s - start) // 100 * 100 for s in bad if start <= s < end})
    c.equal("scan completed", scan.get("completed"), True)
    c.equal("bad blocks are exactly those holding the injected sectors", scan.get("badBlocks"), want_blocks)
    c.equal("bad count", scan.get("badCount"), len(want_blocks))
    with open(disk, "rb") as f:
        after = f.read()
    c.equal("image size unchanged", len(after), len(before))
    changed = [s for s in range(min(len(before), len(after)) // SECTOR)
               if before[s * SECTOR:(s + 1) * SECTOR] != after[s * SECTOR:(s + 1) * SECTOR]]
    c.equal("sectors changed by the scan, other than the unreadable ones", [s for s in changed if s not in bad], [])


def check_nvme(args):
    """One boot: the health log through varim and through smartctl, then a scan over bad sectors."""
    run, env = prepare(args)
    disk, before = random_disk(args, "varim-nvme.img")
    bad = [1000, 5050, 5051, 19999]
    start, end = 0, 20000
    warning = 0x04  # reliability degraded
    out = boot(run, env, args, disk,
               f"echo '@@@ smart'; {args.guest_name} --json smart 0; echo; echo \"smart-exit $?\"; "
               "echo '@@@ smartctl'; smartctl -j -a /dev/nvme0; echo; "
               f"echo '@@@ scan'; {args.guest_name} --json scan 0 --start {start} --end {end} --mode standard "
               "2>/tmp/scan.err; echo; echo \"scan-exit $?\"; echo '@@@ scan-stderr'; tail -n 5 /tmp/scan.err",
               bad=["1000", "5050-5051", "19999"], controller="nvme",
               extra=["--nvme-critical-warning", hex(warning)])
    print(out)
    c = Checks()
    smart_text = section(out, "smart")
    c.true("varim smart exited 0", "smart-exit 0" in smart_text)
    smart = json_before(smart_text, "smart-exit", c, "varim smart")
    try:
        ref = json.loads(section(out, "smartctl"))
    except ValueError as error:
        ref = {}
        c.true("smartctl printed JSON", False, str(error))
    log = ref.get("nvme_smart_health_information_log", {})
    c.true("smartctl read the health log", bool(log))
    mine = smart.get("nvme") or {}
    c.equal("varim transport", smart.get("transport"), "nvme")
    c.equal("varim serial", smart.get("serial"), SERIAL)
    c.equal("smartctl serial", ref.get("serial_number"), SERIAL)
    c.equal("varim model against smartctl", smart.get("model"), ref.get("model_name"))
    c.equal("critical warning as set", mine.get("criticalWarning"), warning)
    for key, theirs in [("criticalWarning", "critical_warning"), ("temperatureCelsius", "temperature"),
                        ("availableSpare", "available_spare"), ("availableSpareThreshold", "available_spare_threshold"),
                        ("percentageUsed", "percentage_used"), ("powerOnHours", "power_on_hours")]:
        c.equal(f"{key} against smartctl's {theirs}", mine.get(key), log.get(theirs, "missing"))
    indicators = smart.get("indicators") or {}
    c.equal("a critical warning makes the status Bad", indicators.get("status"), "Bad")
    c.equal("and raises the backup alarm", indicators.get("backupAlarm"), True)
    c.equal("temperature panel", indicators.get("celsius"), log.get("temperature", "missing"))
    check_scan(c, disk, before, bad, start, end, section(out, "scan"))
    return c.failed


def check_nvme_4k(args):
    """A 4Kn namespace whose failing 4096-byte units stay unreadable: both scans list exactly the
    blocks holding them, the units hold zeros written whole, every other byte is unchanged."""
    run, env = prepare(args)
    disk, before = random_disk(args, "varim-nvme4k.img")
    # Units of 8 image sectors: 1000-1007 inside block 1000; 5096-5103 across blocks 5000 and 5100.
    units = [(1000, 1007), (5096, 5103)]
    start, end = 0, 20000
    scans = ""
    for mode in ("standard", "regenerate"):
        scans += (f"echo '@@@ {mode}'; {args.guest_name} --json scan 0 --start {start} --end {end} --mode {mode} "
                  f"2>/tmp/{mode}.err; echo; echo \"scan-exit $?\"; tail -n 5 /tmp/{mode}.err; ")
    out = boot(run, env, args, disk, "cat /sys/block/nvme0n1/queue/logical_block_size; " + scans,
               bad=[f"{a}-{b}" for a, b in units], controller="nvme",
               extra=["--dev-opt", "logical_block_size=4096", "--dev-opt", "physical_block_size=4096"])
    print(out)
    c = Checks()
    failing = {s for a, b in units for s in range(a, b + 1)}
    want_blocks = sorted({start + (s - start) // 100 * 100 for s in failing})
    for mode in ("standard", "regenerate"):
        text = section(out, mode)
        c.true(f"{mode} scan exited 0", "scan-exit 0" in text)
        scan = json_before(text, "scan-exit", c, f"varim {mode} scan")
        c.equal(f"{mode}: bad blocks are exactly those holding failing units", scan.get("badBlocks"), want_blocks)
    with open(disk, "rb") as f:
        after = f.read()
    c.equal("image size unchanged", len(after), len(before))
    c.true("the failing units hold zeros written whole",
           all(after[s * SECTOR:(s + 1) * SECTOR] == bytes(SECTOR) for s in failing))
    changed = [s for s in range(min(len(before), len(after)) // SECTOR)
               if before[s * SECTOR:(s + 1) * SECTOR] != after[s * SECTOR:(s + 1) * SECTOR]]
    c.equal("sectors changed by the scans, other than the failing units", [s for s in changed if s not in failing], [])


def smartctl_json(text, c, what):
    """The first JSON document in text (the guest's exit line may follow it)."""
    try:
        return json.JSONDecoder().raw_decode(text.lstrip())[0]
    except ValueError as error:
        c.true(f"{what} printed JSON", False, str(error))
        return {}


def compare_self_tests(c, mine, ref):
    """varim's self-test entries against smartctl's table: type, status, hours, first failing LBA."""
    kinds = {0: "offline", 1: "short", 2: "extended", 3: "conveyance", 129: "short", 130: "extended",
             131: "conveyance"}
    table = ref.get("table", [])
    c.equal("self-test entries against smartctl's count", len(mine), len(table))
    for i, (got, want) in enumerate(zip(mine, table)):
        status = want.get("status", {}).get("value", -1)
        c.equal(f"self-test {i}: type", got.get("type"), kinds.get(want.get("type", {}).get("value"), "vendor"))
        c.equal(f"self-test {i}: status code", got.get("statusCode"), status >> 4 if status > 15 else status)
        c.equal(f"self-test {i}: passed", got.get("passed"), want.get("status", {}).get("passed", False))
        c.equal(f"self-test {i}: hours", got.get("powerOnHours"), want.get("lifetime_hours"))
        c.equal(f"self-test {i}: first failing LBA", got.get("firstErrorLba"), want.get("lba"))


def check_selftest(args):
    """One boot per transport: ATA runs its short self-test, and both logs equal smartctl's;
    the NVMe controller runs none, and says so, and its error log equals smartctl's."""
    run, env = prepare(args)
    c = Checks()
    disk, _ = random_disk(args, "varim-selftest.img")
    out = boot(run, env, args, disk,
               f"echo '@@@ selftest'; {args.guest_name} --json selftest 0 short --wait 2>/tmp/st.err; echo; "
               "echo \"selftest-exit $?\"; echo '@@@ selftest-stderr'; cat /tmp/st.err; "
               f"echo '@@@ extended'; {args.guest_name} selftest 0 extended --wait; echo \"extended-exit $?\"; "
               f"echo '@@@ log'; {args.guest_name} --json log 0; echo; echo \"log-exit $?\"; "
               "echo '@@@ smartctl'; smartctl -j -l selftest -l error /dev/sda; echo")
    print(out)
    started = section(out, "selftest")
    c.true("varim selftest --wait exited 0", "selftest-exit 0" in started)
    result = json_before(started, "selftest-exit", c, "varim selftest").get("result") or {}
    c.equal("the short test passed", (result.get("type"), result.get("passed")), ("short", True))
    c.true("a second, extended test passed", "extended-exit 0" in section(out, "extended"))
    log_text = section(out, "log")
    c.true("varim log exited 0", "log-exit 0" in log_text)
    log = json_before(log_text, "log-exit", c, "varim log")
    ref = smartctl_json(section(out, "smartctl"), c, "smartctl")
    tests = ref.get("ata_smart_self_test_log", {}).get("standard", {})
    c.equal("smartctl logged both tests", len(tests.get("table", [])), 2)
    compare_self_tests(c, log.get("selfTests", []), tests)
    errors = ref.get("ata_smart_error_log", {}).get("summary", {})
    c.equal("error count against smartctl's", log.get("errorCount"), errors.get("count", "missing"))
    c.equal("error entries against smartctl's", len(log.get("errors", [])), len(errors.get("table", [])))
    c.equal("transport", log.get("transport"), "ata")

    disk, _ = random_disk(args, "varim-selftest-nvme.img")
    out = boot(run, env, args, disk,
               f"echo '@@@ selftest'; {args.guest_name} selftest 0 short 2>&1; echo \"selftest-exit $?\"; "
               f"echo '@@@ log'; {args.guest_name} --json log 0; echo; echo \"log-exit $?\"; "
               "echo '@@@ smartctl'; smartctl -j -a -l error /dev/nvme0; echo", controller="nvme")
    print(out)
    started = section(out, "selftest")
    c.true("varim selftest on NVMe exited 1", "selftest-exit 1" in started)
    c.true("and says the drive runs no self-tests", "does not support self-tests" in started)
    log_text = section(out, "log")
    c.true("varim log on NVMe exited 0", "log-exit 0" in log_text)
    log = json_before(log_text, "log-exit", c, "varim log")
    ref = smartctl_json(section(out, "smartctl"), c, "smartctl")
    c.equal("NVMe: no self-test support", log.get("selfTestSupported"), False)
    health = ref.get("nvme_smart_health_information_log", {})
    c.equal("NVMe error count against smartctl's", log.get("errorCount"), health.get("num_err_log_entries", "missing"))
    table = [e for e in ref.get("nvme_error_information_log", {}).get("table", []) if e.get("error_count")]
    c.equal("NVMe error entries against smartctl's", [e.get("lba") for e in log.get("errors", [])],
            [e.get("lba", {}).get("value") for e in table])
    return c.failed


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=["probe", "varim", "nvme", "nvme4k", "selftest"])
    parser.add_argument("--harness", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    args.guest_name = "qemu_probe" if args.mode == "probe" else "varim-static"
    failed = {"probe": check_probe, "varim": check_varim, "nvme": check_nvme, "nvme4k": check_nvme_4k,
              "selftest": check_selftest}[args.mode](args)
    print(f"{'all checks passed' if failed == 0 else f'{failed} checks failed'}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
