"""The ctypes binding: loading, signatures, results and errors."""
import ctypes
import os
import pathlib
import subprocess
import sys
import threading

import pytest

from conftest import png_size, write_corrupt, write_png, write_ppm

import quendril_imgresize as imgresize


@pytest.fixture(autouse=True)
def fresh_library(library_path):
    imgresize.load(library_path)
    imgresize.init()
    yield
    imgresize.init()


@pytest.fixture
def source(tmp_path):
    return write_png(str(tmp_path / "source.png"), 40, 30)


# ---- loading and declarations ---------------------------------------------

EXPECTED_SIGNATURES = {
    "imgresize_init": ([], ctypes.c_int),
    "imgresize_cleanup": ([], None),
    "imgresize_set_quality": ([ctypes.c_int], None),
    "imgresize_set_filter": ([ctypes.c_int], None),
    "imgresize_last_error": ([], ctypes.c_void_p),
    "imgresize_exact": ([ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int], ctypes.c_int),
    "imgresize_fit": ([ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int], ctypes.c_int),
    "imgresize_percent": ([ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int], ctypes.c_int),
    "imgresize_thumbnail": ([ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int], ctypes.c_int),
    "imgresize_batch": ([ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int, ctypes.c_int], ctypes.c_int),
    "imgresize_info": ([ctypes.c_char_p], ctypes.c_void_p),
}


def test_load_declares_all_eleven_functions(library_path):
    library = imgresize.load(library_path)
    for name, (argtypes, restype) in EXPECTED_SIGNATURES.items():
        function = getattr(library, name)
        assert function.argtypes == argtypes, name
        assert function.restype == restype, name


def test_load_of_a_missing_path_raises_oserror(tmp_path):
    with pytest.raises(OSError):
        imgresize.load(str(tmp_path / "no-such-library.so"))


def test_library_is_found_through_the_environment_variable(library_path, tmp_path):
    # A fresh interpreter with no explicit path: the variable alone leads to
    # the library; a wrong value is an error rather than a silent fallback.
    module_dir = os.path.dirname(imgresize.__file__)
    script = ("import sys; sys.path.insert(0, %r); import quendril_imgresize as m; "
              "print(m.info(%r)['width'])" % (module_dir, write_png(str(tmp_path / "e.png"), 7, 3)))
    environment = dict(os.environ, QUENDRIL_IMGRESIZE_LIBRARY=library_path)
    done = subprocess.run([sys.executable, "-c", script], env=environment,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == "7"

    environment["QUENDRIL_IMGRESIZE_LIBRARY"] = str(tmp_path / "missing.so")
    done = subprocess.run([sys.executable, "-c", script], env=environment,
                          capture_output=True, text=True)
    assert done.returncode != 0
    assert "QUENDRIL_IMGRESIZE_LIBRARY" in done.stderr


def test_library_is_found_next_to_the_module(library_path, tmp_path):
    # A copy of the module with the library beside it, and no variable set.
    package = tmp_path / "site"
    package.mkdir()
    (package / "quendril_imgresize.py").write_bytes(open(imgresize.__file__, "rb").read())
    os.symlink(library_path, package / "libquendril-imgresize.so.1")
    script = ("import quendril_imgresize as m; print(m.load()._name)")
    environment = {key: value for key, value in os.environ.items()
                   if key != "QUENDRIL_IMGRESIZE_LIBRARY"}
    environment["PYTHONPATH"] = str(package)
    done = subprocess.run([sys.executable, "-c", script], env=environment,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.strip() == str(package / "libquendril-imgresize.so.1")


# ---- operations -----------------------------------------------------------

# A 40x30 source; expected sizes worked out by hand from the documented
# rounding (nearest pixel, halves away from zero, at least 1).
RESIZE_CASES = [
    ("exact", (17, 9), (17, 9)),
    ("fit", (20, 20), (20, 15)),
    ("fit", (400, 60), (80, 60)),
    ("percent", (50,), (20, 15)),
    ("percent", (1,), (1, 1)),
    ("thumbnail", (8,), (8, 6)),
]


@pytest.mark.parametrize("operation,arguments,expected", RESIZE_CASES)
def test_resize_operations_write_the_documented_size(tmp_path, source, operation, arguments,
                                                      expected):
    output = str(tmp_path / "out.png")
    assert getattr(imgresize, operation)(source, output, *arguments) is None
    assert png_size(output) == expected
    assert imgresize.last_error() == ""


def test_paths_may_be_pathlike_bytes_or_non_ascii(tmp_path, source):
    imgresize.fit(pathlib.Path(source), tmp_path / "a.png", 10, 10)
    assert png_size(tmp_path / "a.png") == (10, 8)
    imgresize.exact(os.fsencode(source), os.fsencode(str(tmp_path / "b.png")), 3, 4)
    assert png_size(tmp_path / "b.png") == (3, 4)
    target = tmp_path / "grüße-ø.png"
    imgresize.thumbnail(source, target, 5)
    assert png_size(target) == (5, 4)
    assert imgresize.info(target)["width"] == 5


def test_info_returns_the_record_as_a_dict(tmp_path):
    path = write_png(str(tmp_path / "photo.jpg"), 12, 5)
    assert imgresize.info(path) == {"width": 12, "height": 5, "format": "png",
                                    "file_size": os.path.getsize(path)}


def _failure(call):
    with pytest.raises(imgresize.ImgResizeError) as caught:
        call()
    return str(caught.value)


def test_failures_raise_with_the_library_message(tmp_path, source):
    missing = str(tmp_path / "missing.png")
    out = str(tmp_path / "out.png")
    cases = [
        (lambda: imgresize.exact(missing, out, 5, 5),
         "Failed to load image '%s': can't fopen" % missing),
        (lambda: imgresize.exact(source, out, 0, 100),
         "Invalid target dimensions: 0x100 (must be > 0)"),
        (lambda: imgresize.fit(missing, out, 5, 5),
         "Failed to inspect or load image '%s': can't fopen" % missing),
        (lambda: imgresize.fit(source, out, 5, -1),
         "Invalid bounds: max_width=5, max_height=-1 (must be > 0)"),
        (lambda: imgresize.percent(source, out, 0), "Invalid percent: 0 (must be > 0)"),
        (lambda: imgresize.thumbnail(source, out, 0), "Invalid thumbnail size: 0 (must be > 0)"),
        (lambda: imgresize.exact("", out, 5, 5), "Input path is NULL or empty"),
        (lambda: imgresize.fit(source, "", 5, 5), "Output path is NULL or empty"),
        (lambda: imgresize.info(missing), "Failed to stat file: %s" % missing),
        (lambda: imgresize.batch(missing, str(tmp_path / "o"), 5, 5),
         "Failed to open input directory: %s" % missing),
        (lambda: imgresize.batch(str(tmp_path), str(tmp_path / "o"), 0, 100),
         "Invalid batch bounds: 0x100 (must be > 0)"),
    ]
    for call, message in cases:
        assert _failure(call) == message
    assert not os.path.exists(out)


def test_a_message_is_copied_before_the_next_call(tmp_path, source):
    first = _failure(lambda: imgresize.percent(source, str(tmp_path / "o.png"), -5))
    imgresize.fit(source, str(tmp_path / "o.png"), 4, 4)
    assert first == "Invalid percent: -5 (must be > 0)"
    assert imgresize.last_error() == ""


def test_numbers_outside_the_c_int_range_are_refused(tmp_path, source):
    with pytest.raises(OverflowError):
        imgresize.exact(source, str(tmp_path / "o.png"), 2**32 + 5, 5)
    assert not os.path.exists(tmp_path / "o.png")


def test_none_as_a_path_is_a_type_error(tmp_path):
    with pytest.raises(TypeError):
        imgresize.fit(None, str(tmp_path / "o.png"), 5, 5)


# ---- batch ----------------------------------------------------------------

def test_batch_counts_written_files_and_skips_others(tmp_path):
    source_dir = tmp_path / "in"
    source_dir.mkdir()
    write_png(str(source_dir / "a.PNG"), 40, 20)
    write_png(str(source_dir / "b.png"), 20, 40)
    write_corrupt(str(source_dir / "broken.png"))
    write_ppm(str(source_dir / "c.ppm"), 8, 8)
    (source_dir / "old.png").mkdir()
    written = imgresize.batch(source_dir, tmp_path / "out", 10, 10)
    assert written == 2
    assert sorted(os.listdir(tmp_path / "out")) == ["a.PNG", "b.png"]
    assert png_size(tmp_path / "out" / "a.PNG") == (10, 5)
    assert png_size(tmp_path / "out" / "b.png") == (5, 10)


# ---- settings -------------------------------------------------------------

def test_quality_changes_the_jpeg_written(tmp_path):
    source = write_png(str(tmp_path / "s.png"), 64, 64)
    sizes = {}
    for quality in (5, 95):
        imgresize.set_quality(quality)
        output = tmp_path / ("q%d.jpg" % quality)
        imgresize.exact(source, output, 64, 64)
        sizes[quality] = os.path.getsize(output)
    assert sizes[5] < sizes[95]


def _resize_with(tmp_path, source, chosen):
    imgresize.set_filter(chosen)
    output = tmp_path / ("f-%s.png" % chosen)
    imgresize.exact(source, output, 97, 71)
    return output.read_bytes()


def test_filters_by_name_and_code_select_the_same_filter(tmp_path, source):
    results = {name: _resize_with(tmp_path, source, name) for name in imgresize.FILTERS}
    assert len(set(results.values())) == 4, "the four filters must give four results"
    for name, code in imgresize.FILTERS.items():
        assert _resize_with(tmp_path, source, code) == results[name], name
    assert _resize_with(tmp_path, source, "LANCZOS3") == results["lanczos3"]
    imgresize.init()
    imgresize.exact(source, tmp_path / "default.png", 97, 71)
    assert (tmp_path / "default.png").read_bytes() == results["bicubic"]


@pytest.mark.parametrize("bad", ["sharp", 4, -1])
def test_unknown_filters_are_refused(bad):
    with pytest.raises(ValueError):
        imgresize.set_filter(bad)


# ---- threads --------------------------------------------------------------

def test_calls_from_several_threads_do_not_mix_up_results(tmp_path, source):
    # Each thread fits to its own size and checks its own message; without
    # the module's lock the shared last-error text could be another call's.
    missing = str(tmp_path / "missing.png")
    problems = []

    def work(index):
        try:
            for round_ in range(10):
                output = tmp_path / ("t%d-%d.png" % (index, round_))
                imgresize.exact(source, output, index + 1, round_ + 1)
                if png_size(output) != (index + 1, round_ + 1):
                    problems.append("wrong size from thread %d" % index)
                message = _failure(lambda: imgresize.exact(missing, output, 5, index + 1))
                if message != "Failed to load image '%s': can't fopen" % missing:
                    problems.append(message)
        except Exception as error:  # reported below, not lost in the thread
            problems.append(repr(error))

    threads = [threading.Thread(target=work, args=(index,)) for index in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert problems == []
