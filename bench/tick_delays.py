#!/usr/bin/env python3
"""Where each tick of the pulse spends its time before the press, from a scheduler trace.

    perf sched record -o sched.perf -- sleep 150 &
    build/release/bench/pulseward_bench --only program-sway --seconds 120
    python3 bench/tick_delays.py sched.perf PID [sway|Xvfb]   # PID: pgrep -n FERN-BADGER

For each wake-up of the program's main thread on its 750 ms grid: how late the timer woke it
(against the earliest wake-ups of the run), how long it then waited for a processor, and how
long it ran, and was held off the processor, until it woke the compositor (sway by default, or
the X server) with the key press. A tick whose press reached a compositor already awake shows no
such wake-up and is left out.
"""
import re
import subprocess
import sys

PERIOD = 0.75


def events(trace):
    out = subprocess.run(['perf', 'script', '-i', trace, '-F', 'pid,tid,time,event,trace'],
                         capture_output=True, text=True, check=True).stdout
    pattern = re.compile(r'\s*(\d+)/(\d+)\s+([\d.]+):\s+(\S+):\s+(.*)')
    return [(float(m[3]), m[2], m[4], m[5]) for m in map(pattern.match, out.splitlines()) if m]


def tick(evs, start, pid, compositor):
    """(run-queue wait, running until the press, held off before the press); 'slept' when it
    slept again without waking the compositor (woken already, by a timer of its own that came
    due with ours); None when the trace does not show the tick whole."""
    wake = evs[start][0]
    run = off = press = None
    held = 0.0
    for t, tid, event, trace in evs[start + 1:]:
        if t - wake > 0.2:
            return None
        if (event == 'sched:sched_waking' and tid == pid and run is not None and
                f'comm={compositor} ' in trace):
            press = t
            held += t - off if off is not None else 0
            return run - wake, press - run - held, held
        if event != 'sched:sched_switch':
            continue
        if re.search(rf'next_pid={pid}\b', trace):
            if run is None:
                run = t
            elif off is not None:
                held += t - off
                off = None
        elif re.search(rf'prev_pid={pid}\b', trace) and run is not None:
            if 'prev_state=R' not in trace:
                return 'slept'
            off = t
    return None


def main():
    trace, pid = sys.argv[1], sys.argv[2]
    compositor = sys.argv[3] if len(sys.argv) > 3 else 'sway'
    evs = events(trace)
    woken = [i for i, (_, _, event, trace_) in enumerate(evs)
             if event == 'sched:sched_waking' and re.search(rf'\bpid={pid}\b', trace_)]
    # The grid's phase: where most wake-ups fall within the period, to the millisecond.
    phases = {}
    for i in woken:
        ms = int(evs[i][0] % PERIOD * 1000)
        phases[ms] = phases.get(ms, 0) + 1
    phase = max(phases, key=phases.get) / 1000
    first = evs[woken[0]][0] - (evs[woken[0]][0] - phase) % PERIOD
    ticks = {}
    for i in woken:
        k = round((evs[i][0] - first) / PERIOD)
        if -0.005 < evs[i][0] - first - k * PERIOD < 0.05:
            ticks.setdefault(k, i)
    offsets = sorted(evs[i][0] - first - k * PERIOD for k, i in ticks.items())
    base = offsets[len(offsets) // 20]
    rows, slept, unseen = [], 0, 0
    for k, i in sorted(ticks.items())[2:-1]:  # not the start-up's nor the last
        parts = tick(evs, i, pid, compositor)
        if parts is None or parts == 'slept':
            slept += parts == 'slept'
            unseen += parts is None
            continue
        late = evs[i][0] - first - k * PERIOD - base
        rows.append((late * 1e3, *(p * 1e3 for p in parts), evs[i][0]))
    print(f'ticks: {len(rows)}; the compositor awake already: {slept}; not seen whole: {unseen}')
    names = ('timer wake-up late', 'waiting for a processor', 'running until the press',
             'held off before the press')
    for column, name in enumerate(names):
        values = sorted(r[column] for r in rows)
        p99 = values[min(len(values) - 1, int(0.99 * len(values)))]
        print(f'  {name:26s} median {values[len(values) // 2]:7.3f}  p99 {p99:7.3f}'
              f'  max {values[-1]:7.3f} ms')
    print('  ticks whose press left more than 1 ms late (late, waiting, running, held off; at):')
    for r in rows:
        if sum(r[:4]) > 1.0:
            print(f'    {r[0]:7.3f} {r[1]:7.3f} {r[2]:7.3f} {r[3]:7.3f}   {r[4]:.6f}')


if __name__ == '__main__':
    main()
