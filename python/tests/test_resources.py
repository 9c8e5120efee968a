"""No handle left behind after many calls, and calls on several threads at
once give the results of one thread."""
import threading
import time

import numpy as np

import huevane
from conftest import quadrants


def test_a_thousand_calls_leave_no_handle(cat, coffee):
    small, style = cat[::20, ::20].copy(), coffee[::20, ::20].copy()
    theme = huevane.theme(style)
    before = huevane.live_handles()
    for i in range(1000):
        kind = i % 8
        if kind == 0:
            huevane.restyle(small, style, method=1 + i % 5)
        elif kind == 1:
            huevane.restyle(small, theme, keep=[[(0, 0), (20, 0), (0, 20)]])
        elif kind == 2:
            huevane.match(small, theme, method=1 + i % 5)
        elif kind == 3:
            huevane.tags(small)
        elif kind == 4:
            huevane.reduce(small)
        elif kind == 5:
            huevane.Theme.from_bytes(huevane.theme(small).to_bytes())
        elif kind == 6:
            try:
                huevane.restyle(small, style, links=[(0, 99)])
            except ValueError:
                pass
        else:
            try:
                huevane.restyle(small, style, method=7)
            except ValueError:
                pass
        assert huevane.live_handles() == before, f"call {i} left a handle"


def test_threads_give_the_results_of_one(cat, coffee, astronaut):
    jobs = [(cat, coffee), (coffee, astronaut), (astronaut, cat), (cat, astronaut)] * 2
    expected = [huevane.restyle(t, s) for t, s in jobs]
    tags = huevane.tags(astronaut)
    before = huevane.live_handles()
    results = [None] * len(jobs)

    def work(k):
        results[k] = (huevane.restyle(*jobs[k]), huevane.tags(astronaut))

    threads = [threading.Thread(target=work, args=(k,)) for k in range(len(jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for (image, found), want in zip(results, expected):
        assert np.array_equal(image, want) and found == tags
    assert huevane.live_handles() == before


def test_python_runs_while_the_library_works(cat, coffee):
    big = np.tile(cat, (4, 4, 1))
    start = time.perf_counter()
    huevane.restyle(big, coffee)
    alone = time.perf_counter() - start
    worker = threading.Thread(target=huevane.restyle, args=(big, coffee))
    stamps = []
    worker.start()
    while worker.is_alive():
        stamps.append(time.perf_counter())
    worker.join()
    # With the lock held the loop would stall for the whole call.
    assert len(stamps) > 2 and max(np.diff(stamps)) < alone / 2


def test_results_are_new_arrays(handles=None):
    img = quadrants((255, 0, 0), (0, 255, 0), (0, 0, 255), (9, 9, 9))
    frozen = img.copy()
    frozen.flags.writeable = False
    out = huevane.restyle(frozen, img)
    assert out.flags.writeable and out.flags.c_contiguous and out.base is None or out.flags.owndata
    assert np.array_equal(frozen, img)
