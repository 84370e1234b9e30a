# Pictures stored in every EXIF orientation, and the check of the upright outputs.
#   orientation.py make FOLDER         t1.tif ... t8.tif and j1.jpg ... j8.jpg
#   orientation.py check OUT           per source: "name WIDTHxHEIGHT maximum mean" of the
#                                      difference between OUT/name.bmp and the upright pattern
import sys
from PIL import Image, ImageChops, ImageStat

# Pillow's own turn for each orientation.
TURN = {2: Image.Transpose.FLIP_LEFT_RIGHT, 3: Image.Transpose.ROTATE_180,
        4: Image.Transpose.FLIP_TOP_BOTTOM, 5: Image.Transpose.TRANSPOSE,
        6: Image.Transpose.ROTATE_270, 7: Image.Transpose.TRANSVERSE,
        8: Image.Transpose.ROTATE_90}


def pattern():
    # Four quadrants of four colours: each of the eight orientations looks different.
    img = Image.new('RGB', (48, 32))
    colours = {(0, 0): (255, 255, 60), (1, 0): (0, 255, 255), (0, 1): (255, 0, 255),
               (1, 1): (0, 0, 60)}
    px = img.load()
    for y in range(32):
        for x in range(48):
            px[x, y] = colours[(x // 24, y // 16)]
    return img


def make(folder):
    img = pattern()
    for o in range(1, 9):
        img.save(f'{folder}/t{o}.tif', tiffinfo={274: o})
        exif = Image.Exif()
        exif[274] = o
        img.save(f'{folder}/j{o}.jpg', exif=exif.tobytes(), quality=95)


def check(out):
    for name in sorted(n for o in range(1, 9) for n in (f't{o}.tif', f'j{o}.jpg')):
        # The upright picture from the pattern the file stores (the tag is in its name), so
        # that no decoder's own handling of the tag plays a part.
        orientation = int(name[1])
        upright = pattern()
        if orientation in TURN:
            upright = upright.transpose(TURN[orientation])
        made = Image.open(f'{out}/{name.split(".")[0]}.bmp').convert('RGB')
        if made.size != upright.size:
            print(name, f'{made.size[0]}x{made.size[1]}', 'size', 'differs')
            continue
        diff = ImageChops.difference(made, upright)
        worst = max(hi for lo, hi in diff.getextrema())
        mean = sum(ImageStat.Stat(diff).mean) / 3
        print(name, f'{made.size[0]}x{made.size[1]}', worst, round(mean, 1))


if __name__ == '__main__':
    if sys.argv[1] == 'make':
        make(sys.argv[2])
    else:
        check(sys.argv[2])
