"""Pushed events reach the events() generator."""
from __future__ import annotations

import datetime
import threading

import termkit


def test_pushed_events_are_decoded(start_termsim):
    # The simulator pushes a key-press event (kind 3) every 50 ms.
    sim = start_termsim("--profile", "ver660", "--fault", "event_every=50")
    before = datetime.datetime.now().replace(microsecond=0)
    with termkit.connect(sim.address()) as terminal:
        received = []
        for event in terminal.events(timeout=5):
            received.append(event)
            if len(received) == 2:
                break
        terminal.enable()  # calls go on while events arrive
    assert [(e.kind, e.name, e.payload) for e in received] == [(3, "key_press", b"\0" * 4)] * 2
    assert all(e.received >= before for e in received)


def test_events_end_after_the_timeout(numbered):
    assert list(numbered.events(timeout=0.2)) == []


def test_closing_ends_a_waiting_generator(numbered_sim):
    terminal = termkit.connect(numbered_sim.address())
    events = terminal.events(timeout=None)
    seen = []
    reader = threading.Thread(target=lambda: seen.extend(events))
    reader.start()
    terminal.close()
    reader.join(timeout=10)
    assert not reader.is_alive() and seen == []
