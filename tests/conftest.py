"""Fixtures of the end-to-end drivers (e2e, hardening, capture): the programs under test, a work
folder per test, desktops that are always taken down, checks written down one by one, and a
deadline per test.
"""

import os
import shutil
import signal
import tempfile

import pytest

from desktop import Checks, Desktop, Failure

# The programs under test choose llvmpipe's threads themselves (none: it draws on their own
# thread); a value in the caller's environment would choose for them.
os.environ.pop("LP_NUM_THREADS", None)


def pytest_addoption(parser):
    group = parser.getgroup("solid-objects")
    group.addoption("--program", help="the show (solid-objects)")
    group.addoption("--probe", help="layer_probe")
    group.addoption("--spy", help="the sdl_spy library")
    group.addoption("--fail-allocation", help="the fail_allocation library")
    group.addoption("--mutex-probe", help="the mutex_probe library")
    group.addoption("--capture-program", help="solid-objects-capture")
    group.addoption("--work", help="where each test gets its folder (default: the temporary one)")
    group.addoption("--seed", type=int, help="the long runs' random seed")
    group.addoption("--rss-tolerance-kb", type=int, default=1024)


def pytest_configure(config):
    config.addinivalue_line("markers", "deadline(seconds): the test fails once it runs longer")


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    outcome = yield
    report = outcome.get_result()
    if report.when == "call":
        item.failed_call = report.failed


@pytest.fixture
def option(request):
    """A command-line option that the test needs, as an absolute path."""
    def get(name):
        value = request.config.getoption(name)
        if value is None:
            pytest.fail(f"this test needs --{name.replace('_', '-')}")
        return os.path.abspath(value)
    return get


def make_work(request, name):
    parent = request.config.getoption("work")
    if parent:
        os.makedirs(parent, exist_ok=True)
    name = name.replace("/", "_").replace("[", "-").replace("]", "").replace(" ", "_")
    return tempfile.mkdtemp(prefix=f"{name}-", dir=parent)


def keep_or_remove(folder, failed):
    """A test's folder goes when it passed; when it failed it stays, and its logs are shown."""
    if not failed:
        shutil.rmtree(folder, ignore_errors=True)
        return
    print(f"\nthe test's files are in {folder}")
    for root, _, files in os.walk(folder):
        for file in sorted(files):
            if file.endswith((".log", ".stderr")) and not file.startswith(("xvfb", "openbox")):
                path = os.path.join(root, file)
                print(f"--- {os.path.relpath(path, folder)} ---")
                print(open(path, encoding="latin-1").read()[-3000:])


@pytest.fixture
def work(request):
    """A folder of the test's own; kept, with its logs shown, when the test fails."""
    folder = make_work(request, request.node.name)
    yield folder
    keep_or_remove(folder, getattr(request.node, "failed_call", True))


@pytest.fixture(scope="module")
def module_work(request):
    """A folder for what the tests of a module share (a desktop, runs that overlap in time)."""
    folder = make_work(request, request.module.__name__)
    failed_before = request.session.testsfailed
    yield folder
    keep_or_remove(folder, request.session.testsfailed > failed_before)


@pytest.fixture
def checks(request):
    """The test's checks; the test fails at its end if any of them did."""
    checks = Checks()
    yield checks
    # Reported as the test's own failure, not the fixture's, through pytest_pyfunc_call below.


@pytest.hookimpl(hookwrapper=True)
def pytest_pyfunc_call(pyfuncitem):
    outcome = yield
    checks = pyfuncitem.funcargs.get("checks")
    if outcome.excinfo is None and checks is not None and checks.failures:
        raise AssertionError(f"{len(checks.failures)} check(s) failed:\n  " +
                             "\n  ".join(checks.failures))


def desktop_maker(work):
    made = []

    def make(width, height, server_args=(), name=None):
        folder = work if name is None else os.path.join(work, name)
        os.makedirs(folder, exist_ok=True)
        desktop = Desktop(folder)
        made.append(desktop)
        return desktop.start(width, height, server_args)

    return make, made


@pytest.fixture
def desktops(work):
    """Makes desktops (Xvfb and openbox) of a given size; everything started on them, and they
    themselves, are killed at the end."""
    make, made = desktop_maker(work)
    yield make
    for desktop in reversed(made):
        desktop.kill_all()


@pytest.fixture(scope="module")
def module_desktops(module_work):
    """The same, for desktops that the tests of a module share."""
    make, made = desktop_maker(module_work)
    yield make
    for desktop in reversed(made):
        desktop.kill_all()


@pytest.fixture(autouse=True)
def deadline(request):
    """Ends the test once it runs longer than its deadline marker allows."""
    marker = request.node.get_closest_marker("deadline")
    if marker is None:
        yield
        return

    def out_of_time(signum, frame):
        raise Failure(f"the test ran past its {marker.args[0]} s deadline")

    previous = signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(marker.args[0])
    yield
    signal.alarm(0)
    signal.signal(signal.SIGALRM, previous)
