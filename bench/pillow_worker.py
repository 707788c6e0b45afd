"""Pillow doing one benchmark workload once, in this process.

    python3 pillow_worker.py W1..W6 DATA_DIR OUT_DIR

Prints the seconds the work took in-process. Resampling is Image.BICUBIC
(the Catmull-Rom cubic), on fully decoded images: no draft() shrink-on-load,
so this is Pillow's resize, not its thumbnail path. Outputs are saved with
Pillow's defaults except the JPEG quality of 85.
"""
import os
import sys
import time

from PIL import Image

BICUBIC = getattr(Image, "Resampling", Image).BICUBIC


def fit_size(width, height, max_width, max_height):
    scale = min(max_width / width, max_height / height)
    return max(1, int(round(width * scale))), max(1, int(round(height * scale)))


def fit(source, target, max_width, max_height, **save):
    with Image.open(source) as image:
        size = fit_size(image.width, image.height, max_width, max_height)
        image.resize(size, BICUBIC).save(target, **save)


def main():
    workload, data, out = sys.argv[1:4]
    os.makedirs(os.path.join(out, "w5"), exist_ok=True)
    w6 = sorted(os.path.join(data, "w6", name) for name in os.listdir(os.path.join(data, "w6")))
    start = time.perf_counter()
    if workload == "W1":
        fit(os.path.join(data, "w1.jpg"), os.path.join(out, "w1.jpg"), 800, 800, quality=85)
    elif workload == "W2":
        fit(os.path.join(data, "w1.jpg"), os.path.join(out, "w2.png"), 800, 800)
    elif workload == "W3":
        fit(os.path.join(data, "w3.png"), os.path.join(out, "w3.png"), 128, 128)
    elif workload == "W4":
        with Image.open(os.path.join(data, "w4.png")) as image:
            image.resize((2560, 1920), BICUBIC).save(os.path.join(out, "w4.png"))
    elif workload == "W5":
        directory = os.path.join(data, "w5")
        for name in os.listdir(directory):
            if name.lower().endswith(".jpg"):
                fit(os.path.join(directory, name), os.path.join(out, "w5", name), 400, 400,
                    quality=85)
    elif workload == "W6":
        for path in w6:
            size = os.stat(path).st_size
            with Image.open(path) as image:
                record = (image.width, image.height, image.format, size)
            assert record[0] > 0
    else:
        sys.exit("unknown workload " + workload)
    print("%.6f" % (time.perf_counter() - start))


if __name__ == "__main__":
    main()
