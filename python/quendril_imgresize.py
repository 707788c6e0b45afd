"""Resize image files with the quendril-imgresize shared library (ctypes).

    import quendril_imgresize as imgresize
    imgresize.set_filter("lanczos3")
    imgresize.fit("photo.jpg", "small.png", 800, 800)
    print(imgresize.info("small.png"))   # {'width': 800, 'height': 600, ...}

Every operation raises ImgResizeError carrying the library's message when it
fails. Paths may be str, bytes or os.PathLike; they are passed to the library
encoded with the file-system encoding.

The library is found, in this order: the path given to load(); the
environment variable QUENDRIL_IMGRESIZE_LIBRARY; a library file next to this
module; the system loader's name for it (libquendril-imgresize.so.1,
quendril-imgresize.dll, libquendril-imgresize.1.dylib).

The library's state (last error, info record, settings) is shared by the whole
process and its calls must not overlap. This module serialises its own calls
with a lock, so it may be used from several threads; code that also calls the
library by other means must not call it at the same time.
"""

import ctypes
import json
import os
import sys
import threading

__all__ = [
    "ImgResizeError", "load", "exact", "fit", "percent", "thumbnail", "batch",
    "info", "set_quality", "set_filter", "init", "cleanup", "last_error",
    "FILTERS", "ENVIRONMENT_VARIABLE",
]

ENVIRONMENT_VARIABLE = "QUENDRIL_IMGRESIZE_LIBRARY"

#: Filter names accepted by set_filter(), with the library's codes.
FILTERS = {"point": 0, "bilinear": 1, "bicubic": 2, "lanczos3": 3}

if sys.platform == "win32":
    _LOADER_NAMES = ("quendril-imgresize.dll", "libquendril-imgresize.dll")
elif sys.platform == "darwin":
    _LOADER_NAMES = ("libquendril-imgresize.1.dylib", "libquendril-imgresize.dylib")
else:
    _LOADER_NAMES = ("libquendril-imgresize.so.1", "libquendril-imgresize.so")


class ImgResizeError(Exception):
    """An operation of the library failed; str(error) is the library's message."""


_lock = threading.RLock()
_library = None


def _declare(library):
    """Declares the eleven functions' signatures on a loaded library."""
    c_int, c_char_p, c_void_p = ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p
    signatures = {
        "imgresize_init": ([], c_int),
        "imgresize_cleanup": ([], None),
        "imgresize_set_quality": ([c_int], None),
        "imgresize_set_filter": ([c_int], None),
        # Returned texts are read as raw pointers and copied at once: they
        # belong to the library and must never be freed.
        "imgresize_last_error": ([], c_void_p),
        "imgresize_exact": ([c_char_p, c_char_p, c_int, c_int], c_int),
        "imgresize_fit": ([c_char_p, c_char_p, c_int, c_int], c_int),
        "imgresize_percent": ([c_char_p, c_char_p, c_int], c_int),
        "imgresize_thumbnail": ([c_char_p, c_char_p, c_int], c_int),
        "imgresize_batch": ([c_char_p, c_char_p, c_int, c_int], c_int),
        "imgresize_info": ([c_char_p], c_void_p),
    }
    for name, (argtypes, restype) in signatures.items():
        function = getattr(library, name)
        function.argtypes = argtypes
        function.restype = restype
    return library


def _open(path):
    # x64 Windows has one calling convention; WinDLL names the library's
    # __stdcall for 32-bit builds too.
    loader = ctypes.WinDLL if sys.platform == "win32" else ctypes.CDLL
    return _declare(loader(path))


def _candidates(path):
    if path is not None:
        yield os.fsdecode(path)
        return
    from_environment = os.environ.get(ENVIRONMENT_VARIABLE)
    if from_environment:
        yield from_environment
        return
    here = os.path.dirname(os.path.abspath(__file__))
    for name in _LOADER_NAMES:
        beside = os.path.join(here, name)
        if os.path.exists(beside):
            yield beside
    yield from _LOADER_NAMES


def load(path=None):
    """Loads the library (see the module's text for the search order) and
    makes it the one the functions of this module call. Returns the ctypes
    library object. An explicit path or the environment variable is used
    alone: if it cannot be loaded, OSError is raised."""
    global _library
    errors = []
    with _lock:
        for candidate in _candidates(path):
            try:
                _library = _open(candidate)
                return _library
            except (OSError, AttributeError) as error:
                errors.append("%s: %s" % (candidate, error))
        raise OSError("cannot load quendril-imgresize (set %s to its path)\n  %s"
                      % (ENVIRONMENT_VARIABLE, "\n  ".join(errors)))


def _lib():
    return _library if _library is not None else load()


def _path(value, what):
    if value is None:
        raise TypeError("%s must be a path, not None" % what)
    return os.fsencode(value)


def _int(value, what):
    """The library takes C ints; a value outside their range is refused
    rather than wrapped around by ctypes."""
    value = int(value)
    if not -2**31 <= value < 2**31:
        raise OverflowError("%s out of the C int range: %d" % (what, value))
    return value


def _text(address):
    return os.fsdecode(ctypes.string_at(address)) if address else ""


def _last_error(library):
    return _text(library.imgresize_last_error())


def _check(library, ok):
    if not ok:
        raise ImgResizeError(_last_error(library))


def exact(input_path, output_path, width, height):
    """Resizes to exactly width x height pixels (the aspect ratio is not kept)."""
    src, dst = _path(input_path, "input_path"), _path(output_path, "output_path")
    with _lock:
        library = _lib()
        _check(library, library.imgresize_exact(src, dst, _int(width, "width"),
                                                _int(height, "height")))


def fit(input_path, output_path, max_width, max_height):
    """Resizes to fit within max_width x max_height, keeping the aspect ratio;
    enlarges as well as shrinks."""
    src, dst = _path(input_path, "input_path"), _path(output_path, "output_path")
    with _lock:
        library = _lib()
        _check(library, library.imgresize_fit(src, dst, _int(max_width, "max_width"),
                                                _int(max_height, "max_height")))


def percent(input_path, output_path, percent):
    """Scales by a percentage (50 halves, 200 doubles)."""
    src, dst = _path(input_path, "input_path"), _path(output_path, "output_path")
    with _lock:
        library = _lib()
        _check(library, library.imgresize_percent(src, dst, _int(percent, "percent")))


def thumbnail(input_path, output_path, size):
    """Fits the image within a size x size square."""
    src, dst = _path(input_path, "input_path"), _path(output_path, "output_path")
    with _lock:
        library = _lib()
        _check(library, library.imgresize_thumbnail(src, dst, _int(size, "size")))


def batch(input_dir, output_dir, max_width, max_height):
    """Fits every .png/.jpg/.jpeg/.bmp/.tga file directly in input_dir (any
    case) within the bounds, writing each under its own name into output_dir
    (created when missing, one level). Returns the number of files written.
    A file that fails does not stop the batch and is not counted; compare the
    count with the number of files you expect. Raises ImgResizeError only when
    the batch cannot start."""
    src, dst = _path(input_dir, "input_dir"), _path(output_dir, "output_dir")
    with _lock:
        library = _lib()
        written = library.imgresize_batch(src, dst, _int(max_width, "max_width"),
                                          _int(max_height, "max_height"))
        if written < 0:
            raise ImgResizeError(_last_error(library))
        return written


def info(path):
    """Returns the image's record as a dict: width, height, format ("png",
    "jpeg", "bmp", "gif", "webp", "tga" or "unknown") and file_size."""
    encoded = _path(path, "path")
    with _lock:
        library = _lib()
        record = _text(library.imgresize_info(encoded))
        if not record:
            raise ImgResizeError(_last_error(library))
    return json.loads(record)


def set_quality(quality):
    """Sets the JPEG quality of later writes; the library clamps it into 1 to 100."""
    with _lock:
        _lib().imgresize_set_quality(_int(quality, "quality"))


def set_filter(filter):
    """Selects the resampling filter: "point", "bilinear", "bicubic" (the
    default) or "lanczos3", or its code 0 to 3."""
    if isinstance(filter, str):
        try:
            code = FILTERS[filter.lower()]
        except KeyError:
            raise ValueError("unknown filter %r; choose one of %s"
                             % (filter, ", ".join(FILTERS))) from None
    else:
        code = int(filter)
        if code not in FILTERS.values():
            raise ValueError("filter code must be 0 to 3, not %d" % code)
    with _lock:
        _lib().imgresize_set_filter(code)


def init():
    """Restores the defaults: quality 85, filter bicubic, no last error."""
    with _lock:
        _lib().imgresize_init()


def cleanup():
    """Same resets as init(); the library holds nothing else to release."""
    with _lock:
        _lib().imgresize_cleanup()


def last_error():
    """The library's message of the last failure, "" after a success. After
    batch() it names the last file's failure if that file failed."""
    with _lock:
        return _last_error(_lib())
