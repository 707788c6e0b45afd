"""The imgresize command-line tool, driven as a user would drive it."""
import json
import os
import pty
import re
import subprocess

import pytest

from conftest import REPOSITORY, png_size, write_corrupt, write_png, write_ppm

USAGE_LINE = ("usage: imgresize [--quality N] [--filter F] COMMAND ARGS...  "
              "(imgresize --help for details)\n")


@pytest.fixture
def run(cli_path):
    def run_cli(*arguments, **options):
        return subprocess.run([cli_path] + [str(a) for a in arguments], capture_output=True,
                              text=True, **options)
    return run_cli


@pytest.fixture
def source(tmp_path):
    return write_png(str(tmp_path / "source.png"), 40, 30)


# ---- help and version -----------------------------------------------------

def test_help_documents_every_command_and_option(run):
    done = run("--help")
    assert done.returncode == 0
    assert done.stderr == ""
    for synopsis in ("exact IN OUT W H", "fit IN OUT W H", "percent IN OUT P",
                     "thumbnail IN OUT SIZE", "batch INDIR OUTDIR W H", "info FILE...",
                     "--quality N", "--filter F", "--help", "--version"):
        assert synopsis in done.stdout, synopsis
    for filter_name in ("point", "bilinear", "bicubic", "lanczos3"):
        assert filter_name in done.stdout
    assert run("-h").stdout == done.stdout
    # Help wins over everything else on the line, even a wrong command.
    assert run("bogus", "--help").stdout == done.stdout


def test_version_is_the_header_version(run):
    with open(os.path.join(REPOSITORY, "src", "imgresize.h")) as header:
        version = re.search(r'#define IMGRESIZE_VERSION_STRING "([^"]+)"', header.read()).group(1)
    done = run("--version")
    assert (done.returncode, done.stdout, done.stderr) == (0, "imgresize %s\n" % version, "")


# ---- usage errors ---------------------------------------------------------

USAGE_ERRORS = [
    ([], "imgresize: no command given\n"),
    (["bogus"], "imgresize: unknown command 'bogus'\n"),
    (["exact", "a.png", "b.png", "5"], "imgresize: exact takes IN OUT W H\n"),
    (["fit", "a.png", "b.png", "5", "5", "6"], "imgresize: fit takes IN OUT W H\n"),
    (["percent", "a.png", "b.png"], "imgresize: percent takes IN OUT P\n"),
    (["thumbnail", "a.png"], "imgresize: thumbnail takes IN OUT SIZE\n"),
    (["batch", "in", "out", "5"], "imgresize: batch takes INDIR OUTDIR W H\n"),
    (["info"], "imgresize: info takes FILE...\n"),
    (["fit", "a.png", "b.png", "5", "x"], "imgresize: fit H must be an integer, not 'x'\n"),
    (["exact", "a.png", "b.png", "1.5", "5"], "imgresize: exact W must be an integer, not '1.5'\n"),
    (["percent", "a.png", "b.png", "50%"], "imgresize: percent P must be an integer, not '50%'\n"),
    (["thumbnail", "a.png", "b.png", "99999999999"],
     "imgresize: thumbnail SIZE must be an integer, not '99999999999'\n"),
    (["--quality", "0", "fit", "a.png", "b.png", "5", "5"],
     "imgresize: --quality takes an integer from 1 to 100, not '0'\n"),
    (["--quality=101", "fit", "a.png", "b.png", "5", "5"],
     "imgresize: --quality takes an integer from 1 to 100, not '101'\n"),
    (["fit", "a.png", "b.png", "5", "5", "--filter", "sharp"],
     "imgresize: --filter takes point, bilinear, bicubic, lanczos3 or 0 to 3, not 'sharp'\n"),
    (["--filter", "4", "fit", "a.png", "b.png", "5", "5"],
     "imgresize: --filter takes point, bilinear, bicubic, lanczos3 or 0 to 3, not '4'\n"),
    (["fit", "a.png", "b.png", "5", "5", "--quality"], "imgresize: --quality needs a value\n"),
    (["--size", "fit", "a.png", "b.png", "5", "5"], "imgresize: unknown option '--size'\n"),
]


@pytest.mark.parametrize("arguments,message", USAGE_ERRORS)
def test_usage_errors_exit_2_with_a_usage_line(run, tmp_path, arguments, message):
    done = run(*arguments, cwd=str(tmp_path))
    assert done.returncode == 2
    assert done.stdout == ""
    assert done.stderr == message + USAGE_LINE
    assert os.listdir(str(tmp_path)) == [], "a usage error must not touch any file"


# ---- single-file commands -------------------------------------------------

SUCCESS_CASES = [
    (["exact", "{in}", "{out}", "17", "9"], (17, 9)),
    (["fit", "{in}", "{out}", "20", "20"], (20, 15)),
    (["percent", "{in}", "{out}", "150"], (60, 45)),
    (["thumbnail", "{in}", "{out}", "8"], (8, 6)),
    (["--filter", "lanczos3", "--quality", "50", "fit", "{in}", "{out}", "400", "60"], (80, 60)),
]


@pytest.mark.parametrize("arguments,expected", SUCCESS_CASES)
def test_commands_write_the_file_silently(run, tmp_path, source, arguments, expected):
    output = str(tmp_path / "out.png")
    done = run(*[a.format(**{"in": source, "out": output}) for a in arguments])
    assert (done.returncode, done.stdout, done.stderr) == (0, "", "")
    assert png_size(output) == expected


FAILURE_CASES = [
    (["exact", "{missing}", "{out}", "5", "5"], "Failed to load image '{missing}': can't fopen"),
    (["fit", "{missing}", "{out}", "5", "5"],
     "Failed to inspect or load image '{missing}': can't fopen"),
    (["exact", "{in}", "{out}", "0", "100"], "Invalid target dimensions: 0x100 (must be > 0)"),
    (["fit", "{in}", "{out}", "-3", "5"],
     "Invalid bounds: max_width=-3, max_height=5 (must be > 0)"),
    (["percent", "{in}", "{out}", "0"], "Invalid percent: 0 (must be > 0)"),
    (["thumbnail", "{in}", "{out}", "0"], "Invalid thumbnail size: 0 (must be > 0)"),
    (["exact", "{in}", "", "5", "5"], "Output path is NULL or empty"),
]


@pytest.mark.parametrize("arguments,message", FAILURE_CASES)
def test_failures_print_the_library_message_and_exit_1(run, tmp_path, source, arguments,
                                                       message):
    names = {"in": source, "out": str(tmp_path / "out.png"), "missing": str(tmp_path / "no.png")}
    done = run(*[a.format(**names) for a in arguments])
    assert done.returncode == 1
    assert done.stdout == ""
    assert done.stderr == "imgresize: %s\n" % message.format(**names)


def test_filter_names_and_codes_choose_the_same_filter(run, tmp_path, source):
    results = {}
    for index, name in enumerate(("point", "bilinear", "bicubic", "lanczos3")):
        for chosen in (name, str(index)):
            output = tmp_path / ("%s-%s.png" % (name, chosen))
            assert run("--filter", chosen, "exact", source, output, 97, 71).returncode == 0
            results[chosen] = output.read_bytes()
        assert results[name] == results[str(index)], name
    assert len({results[name] for name in ("point", "bilinear", "bicubic", "lanczos3")}) == 4
    run("exact", source, tmp_path / "default.png", 97, 71)
    assert (tmp_path / "default.png").read_bytes() == results["bicubic"]


def test_quality_reaches_the_jpeg_encoder(run, tmp_path):
    source = write_png(str(tmp_path / "s.png"), 64, 64)
    run("--quality", "5", "exact", source, tmp_path / "low.jpg", 64, 64)
    run("--quality=95", "exact", source, tmp_path / "high.jpg", 64, 64)
    assert os.path.getsize(tmp_path / "low.jpg") < os.path.getsize(tmp_path / "high.jpg")


def test_double_dash_ends_the_options(run, tmp_path, source):
    os.symlink(source, tmp_path / "--odd.png")
    done = run("fit", "--", "--odd.png", "-out.png", 10, 10, cwd=str(tmp_path))
    assert (done.returncode, done.stderr) == (0, "")
    assert png_size(tmp_path / "-out.png") == (10, 8)


# ---- info -----------------------------------------------------------------

def test_info_prints_one_record_per_file(run, tmp_path):
    png = write_png(str(tmp_path / "a.png"), 12, 5)
    ppm = write_ppm(str(tmp_path / 'odd "name".ppm'), 3, 4)
    missing = str(tmp_path / "missing.png")
    done = run("info", png, missing, ppm)
    assert done.returncode == 1
    assert done.stderr == "imgresize: Failed to stat file: %s\n" % missing
    lines = done.stdout.splitlines()
    assert len(lines) == 2
    assert json.loads(lines[0]) == {"path": png, "width": 12, "height": 5, "format": "png",
                                    "file_size": os.path.getsize(png)}
    assert json.loads(lines[1]) == {"path": ppm, "width": 3, "height": 4, "format": "unknown",
                                    "file_size": os.path.getsize(ppm)}


def test_info_of_readable_files_exits_0(run, tmp_path):
    done = run("info", write_png(str(tmp_path / "a.png"), 2, 2))
    assert (done.returncode, done.stderr) == (0, "")


@pytest.mark.skipif(not os.path.exists("/dev/full"), reason="needs /dev/full")
@pytest.mark.parametrize("arguments", [["info", "{png}"], ["--help"]])
def test_output_that_cannot_be_written_is_a_failure(cli_path, tmp_path, arguments):
    png = write_png(str(tmp_path / "a.png"), 2, 2)
    with open("/dev/full", "w") as full:
        done = subprocess.run([cli_path] + [a.format(png=png) for a in arguments], stdout=full,
                              stderr=subprocess.PIPE, text=True)
    assert done.returncode == 1
    assert done.stderr == "imgresize: cannot write to standard output\n"


# ---- batch ----------------------------------------------------------------

@pytest.fixture
def batch_dir(tmp_path):
    """Three eligible files (one corrupt, named to sort last or not, so the
    result must not depend on directory order) and files to skip."""
    directory = tmp_path / "in"
    directory.mkdir()
    write_png(str(directory / "a.PNG"), 40, 20)
    write_png(str(directory / "b.tga.png"), 20, 40)
    write_corrupt(str(directory / "broken.jpg"))
    write_ppm(str(directory / "skip.ppm"), 8, 8)
    write_corrupt(str(directory / "README"))
    (directory / "old.png").mkdir()
    return directory


def test_batch_with_a_corrupt_file_exits_1(run, tmp_path, batch_dir):
    out = tmp_path / "out"
    done = run("batch", batch_dir, out, 10, 10)
    assert done.returncode == 1
    assert done.stdout == "2 of 3 files written to %s\n" % out
    assert done.stderr.startswith("imgresize: 1 of 3 files failed\n")
    # The library keeps only the last file's message, so the corrupt file is
    # named only when it came last.
    for line in done.stderr.splitlines()[1:]:
        assert line == ("imgresize: last failure: Failed to inspect or load image '%s': "
                        "unknown image type" % (batch_dir / "broken.jpg"))
    assert "batch:" not in done.stderr, "no progress when stderr is not a terminal"
    assert sorted(os.listdir(out)) == ["a.PNG", "b.tga.png"]
    assert png_size(out / "a.PNG") == (10, 5)


def test_batch_of_good_files_exits_0(run, tmp_path, batch_dir):
    os.remove(batch_dir / "broken.jpg")
    done = run("batch", batch_dir, tmp_path / "out", 10, 10)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == "2 of 2 files written to %s\n" % (tmp_path / "out")


def test_batch_of_an_empty_directory_writes_nothing(run, tmp_path):
    (tmp_path / "empty").mkdir()
    done = run("batch", tmp_path / "empty", tmp_path / "out", 10, 10)
    assert (done.returncode, done.stderr) == (0, "")
    assert done.stdout == "0 of 0 files written to %s\n" % (tmp_path / "out")


@pytest.mark.parametrize("make_input,width,message", [
    (False, 10, "Failed to open input directory: {in}"),
    (True, 0, "Invalid batch bounds: 0x10 (must be > 0)"),
])
def test_batch_that_cannot_start_exits_1(run, tmp_path, make_input, width, message):
    source = tmp_path / "in"
    if make_input:
        source.mkdir()
    done = run("batch", source, tmp_path / "out", width, 10)
    assert done.returncode == 1
    assert done.stdout == ""
    assert done.stderr == "imgresize: %s\n" % message.format(**{"in": source})


def _run_with_terminal_stderr(cli_path, arguments):
    """Runs the tool with stderr on a pseudo-terminal, stdout on a pipe."""
    controller, terminal = pty.openpty()
    try:
        done = subprocess.run([cli_path] + [str(a) for a in arguments], stdout=subprocess.PIPE,
                              stderr=terminal, text=True)
        os.close(terminal)
        terminal = None
        chunks = []
        while True:
            try:
                chunk = os.read(controller, 4096)
            except OSError:  # EIO: the terminal has no writer left
                break
            if not chunk:
                break
            chunks.append(chunk)
        return done, b"".join(chunks).decode()
    finally:
        if terminal is not None:
            os.close(terminal)
        os.close(controller)


def test_batch_on_a_terminal_shows_progress_and_writes_the_same_files(run, cli_path, tmp_path,
                                                                      batch_dir):
    plain = run("batch", batch_dir, tmp_path / "plain", 10, 10)
    done, terminal = _run_with_terminal_stderr(
        cli_path, ["batch", batch_dir, tmp_path / "shown", 10, 10])
    assert done.returncode == 1
    assert done.stdout == plain.stdout.replace("plain", "shown")
    assert "batch: 0/3 files" in terminal
    assert "batch: 2/3 files" in terminal
    # Every failure is named on a terminal, wherever it came in the order.
    assert ("imgresize: Failed to inspect or load image '%s': unknown image type"
            % (batch_dir / "broken.jpg")) in terminal
    assert "imgresize: 1 of 3 files failed" in terminal
    assert sorted(os.listdir(tmp_path / "shown")) == sorted(os.listdir(tmp_path / "plain"))
    for name in os.listdir(tmp_path / "plain"):
        assert (tmp_path / "shown" / name).read_bytes() == (tmp_path / "plain" / name).read_bytes()


def test_batch_on_a_terminal_that_cannot_start_reports_like_the_library(cli_path, tmp_path):
    done, terminal = _run_with_terminal_stderr(
        cli_path, ["batch", tmp_path / "missing", tmp_path / "out", 10, 10])
    assert done.returncode == 1
    assert "batch:" not in terminal
    assert "imgresize: Failed to open input directory: %s" % (tmp_path / "missing") in terminal
    assert os.path.isdir(tmp_path / "out"), "the library creates the output directory first"
