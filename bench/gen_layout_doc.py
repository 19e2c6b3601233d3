#!/usr/bin/env python3
"""A long RTF document that exercises page layout, for the benchmarks.

Writes layout_<N>p.rtf: N chapters of about one A4 page each. Every page has
a header (title, "ページ PAGE / NUMPAGES") and a footer (PAGE) made of
fields; every chapter has a heading, Japanese and Latin paragraphs, a table
with borders and a repeated header row (\\trhdr, shaded), a numbered list
with a second level (restarting in every chapter: a list of its own, as
Word writes "restart numbering") and a bulleted list (one list shared by the
whole document, as Word writes it); every third chapter a footnote.
Content flows: tables and lists break across pages where they fall.

RTF is written the way Japanese Word writes it: \\ansicpg932, Japanese as
\\uN with a Shift_JIS \\'xx fallback (\\uc2), \\fcharset128 fonts.

Output is byte-identical for identical arguments (own PRNG, no clock, no
locale). Usage: gen_layout_doc.py [--out DIR] [PAGES]   (default 1000)
"""
import argparse
import os

# Chapter contents were sized with LibreOffice's PDF export of this file:
# 1,000 chapters give 974 pages there.
TEXT_WIDTH = 8504  # A4 (11906) less 1701 twips on either side


class Rng:
    """xorshift64*: small, fast and identical on every Python version."""

    def __init__(self, seed):
        self.s = (seed * 0x9E3779B97F4A7C15 + 1) & 0xFFFFFFFFFFFFFFFF

    def next(self):
        s = self.s
        s ^= (s >> 12)
        s ^= (s << 25) & 0xFFFFFFFFFFFFFFFF
        s ^= (s >> 27)
        self.s = s
        return (s * 0x2545F4914F6CDD1D) & 0xFFFFFFFFFFFFFFFF

    def below(self, n):
        return self.next() % n

    def pick(self, seq):
        return seq[self.below(len(seq))]


JA_SUBJ = ["ページ番号", "表の見出し行", "箇条書き", "段落番号", "ヘッダー", "フッター", "脚注",
           "改ページ位置", "罫線", "余白", "段落の間隔", "行の高さ", "文書の目次", "図表番号"]
JA_VERB = ["は各ページで正しく更新される。", "は印刷プレビューでも同じ位置に表示される。",
           "を変更すると後続のページが組み直される。", "は次のページにも繰り返される。",
           "の番号は章ごとに 1 から始まる。", "を含む文書でも入力は遅くならない。",
           "は用紙の大きさに合わせて調整される。", "は保存して開き直しても崩れない。"]
JA_LINK = ["また、", "なお、", "そのため、", "一方で、", "例えば、", ""]
EN_WORDS = ("page layout header footer field number table row cell border shading list "
            "item level bullet footnote margin paper width height break keep together "
            "repeat heading paragraph spacing indent tab stop column section chapter "
            "document engine typing caret repaint measure").split()
COLUMNS = [("項目 / Item", 1900), ("説明 / Description", 3604), ("数量 / Qty", 1200), ("状態 / State", 1800)]
STATES = ["完了", "確認中", "未着手", "OK", "n/a", "要確認"]


def ja_sentence(r):
    return r.pick(JA_LINK) + r.pick(JA_SUBJ) + r.pick(JA_VERB)


def en_sentence(r, words):
    return " ".join(r.pick(EN_WORDS) for _ in range(words)).capitalize() + "."


def rtf_text(text):
    """ASCII as is; everything else as \\uN with its Shift_JIS bytes after."""
    out = []
    for ch in text:
        o = ord(ch)
        if ch in "\\{}":
            out.append("\\" + ch)
        elif o < 0x80:
            out.append(ch)
        else:
            try:
                sjis = ch.encode("cp932")
            except UnicodeEncodeError:
                sjis = "・".encode("cp932")  # \\uc2: the fallback is two bytes
            fallback = "".join("\\'%02x" % b for b in sjis)
            out.append("\\u%d%s" % (o if o < 0x8000 else o - 0x10000, fallback))
    return "".join(out)


FONT_TABLE = ("{\\fonttbl"
              "{\\f0\\froman\\fcharset0 Century;}"
              "{\\f1\\froman\\fcharset128 \\'82\\'6c\\'82\\'72 \\'96\\'be\\'92\\'a9;}"
              "{\\f2\\fmodern\\fcharset128 \\'82\\'6c\\'82\\'72 \\'83\\'53\\'83\\'56\\'83\\'62\\'83\\'4e;}"
              "{\\f3\\fswiss\\fcharset0 Arial;}}\n")
COLOUR_TABLE = "{\\colortbl;\\red0\\green0\\blue0;\\red217\\green217\\blue217;\\red0\\green51\\blue102;}\n"
BODY = "\\pard\\plain\\sa120\\fi210\\f1\\fs21 "


def list_tables(chapters):
    """List 1: the bullets of the whole document; lists 2..N+1: each
    chapter's numbered list, so that its numbers start again at 1."""
    out = ["{\\*\\listtable\n"]
    out.append("{\\list\\listtemplateid1\\listhybrid"
               "{\\listlevel\\levelnfc23\\levelnfcn23\\leveljc0\\levelstartat1\\levelfollow0"
               "{\\leveltext\\'01%s;}{\\levelnumbers;}\\fi-360\\li420}"
               "{\\listlevel\\levelnfc23\\levelnfcn23\\leveljc0\\levelstartat1\\levelfollow0"
               "{\\leveltext\\'01%s;}{\\levelnumbers;}\\fi-360\\li840}"
               "{\\listname ;}\\listid1}\n" % (rtf_text("\u2022"), rtf_text("\u25e6")))
    for n in range(2, chapters + 2):
        out.append("{\\list\\listtemplateid%d"
                   "{\\listlevel\\levelnfc0\\levelnfcn0\\leveljc0\\levelstartat1\\levelfollow0"
                   "{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li420}"
                   "{\\listlevel\\levelnfc4\\levelnfcn4\\leveljc0\\levelstartat1\\levelfollow0"
                   "{\\leveltext\\'02\\'01);}{\\levelnumbers\\'01;}\\fi-360\\li840}"
                   "{\\listname ;}\\listid%d}\n" % (n, n))
    out.append("}\n{\\*\\listoverridetable\n")
    for n in range(1, chapters + 2):
        out.append("{\\listoverride\\listid%d\\listoverridecount0\\ls%d}\n" % (n, n))
    out.append("}\n")
    return "".join(out)


def header_footer():
    page = "{\\field{\\*\\fldinst PAGE }{\\fldrslt 1}}"
    pages = "{\\field{\\*\\fldinst NUMPAGES }{\\fldrslt 1}}"
    header = ("{\\header\\pard\\plain\\uc2\\qr\\f2\\fs18 %s\\tab %s %s / %s\\par}\n"
              % (rtf_text("レイアウト試験文書 / Layout benchmark"), rtf_text("ページ"), page, pages))
    footer = "{\\footer\\pard\\plain\\qc\\f0\\fs18 - %s -\\par}\n" % page
    return header + footer


def list_item(ls, level, number_text, text, font):
    return ("\\pard\\plain\\ls%d\\ilvl%d\\fi-360\\li%d\\sa60{\\listtext\\pard\\plain %s\\tab}\\f%d\\fs21 %s\\par\n"
            % (ls, level, 420 * (level + 1), number_text, font, rtf_text(text)))


def table(r, chapter):
    rows = []
    for i in range(5 + r.below(3)):
        rows.append(["%s %d-%d" % (r.pick(JA_SUBJ), chapter, i + 1),
                     en_sentence(r, 3 + r.below(6)) + " " + r.pick(JA_SUBJ),
                     str(r.below(10000)),
                     r.pick(STATES)])
    out = ["\\pard\\plain\\keepn\\sb120\\sa60\\qc{\\b\\f2\\fs20 %s}\\par\n"
           % rtf_text("表 %d  %s" % (chapter, "作業項目の一覧 / Work items"))]
    for ri, row in enumerate([[c for c, _ in COLUMNS]] + rows):
        heading = ri == 0
        out.append("\\trowd\\trgaph108\\trleft0%s" % ("\\trhdr" if heading else ""))
        x = 0
        for _, width in COLUMNS:
            x += width
            out.append("\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
                       "\\clbrdrb\\brdrs\\brdrw%d\\clbrdrr\\brdrs\\brdrw10%s\\cellx%d"
                       % (20 if heading else 10, "\\clcbpat2\\clshdng0" if heading else "", x))
        out.append("\n")
        for ci, cell in enumerate(row):
            align = "\\qc" if heading else ("\\qr" if ci == 2 else "\\ql")
            out.append("\\pard\\plain\\intbl%s{\\f1\\fs19%s %s}\\cell " % (align, "\\b" if heading else "", rtf_text(cell)))
        out.append("\\row\n")
    return "".join(out)


def chapter(r, n):
    out = []
    title = "第%d章 %s" % (n, r.pick(JA_SUBJ))
    out.append("\\pard\\plain\\keepn\\sb240\\sa120\\f2\\fs28\\b %s / Chapter %d\\par\n" % (rtf_text(title), n))
    # A Japanese and a Latin paragraph.
    out.append(BODY + rtf_text("".join(ja_sentence(r) for _ in range(4 + r.below(2)))))
    if n % 3 == 0:
        note = "%s%s" % (r.pick(JA_SUBJ), "については付録を参照。See the appendix for details.")
        out.append("{\\super\\chftn}{\\footnote\\pard\\plain\\uc2\\f1\\fs18{\\super\\chftn} %s}" % rtf_text(note))
    out.append("\\par\n")
    out.append("\\pard\\plain\\sa120\\f0\\fs21 %s\\par\n"
               % " ".join(en_sentence(r, 8 + r.below(8)) for _ in range(3 + r.below(2))))
    out.append(table(r, n))
    # The numbered list: its own list (\\lsN) so that it counts from 1.
    out.append("\\pard\\plain\\sb120\\sa60\\f1\\fs21 %s\\par\n" % rtf_text("手順 / Steps:"))
    ls = n + 1
    items = 3 + r.below(2)
    sub = 0
    for i in range(items):
        out.append(list_item(ls, 0, "%d." % (i + 1), ja_sentence(r), 1))
        if i == 1:
            for j in range(2):
                out.append(list_item(ls, 1, "%s)" % "ab"[j], en_sentence(r, 5 + r.below(5)), 0))
                sub += 1
    # The bullets: one list for the whole document.
    out.append("\\pard\\plain\\sb120\\sa60\\f1\\fs21 %s\\par\n" % rtf_text("注意点 / Notes:"))
    for i in range(4):
        out.append(list_item(1, 0, rtf_text("\u2022"), (ja_sentence(r) if i % 2 == 0 else en_sentence(r, 6 + r.below(6))),
                             1 if i % 2 == 0 else 0))
    out.append(BODY + rtf_text("".join(ja_sentence(r) for _ in range(2 + r.below(2)))) + "\\par\n")
    out.append("\\pard\\plain\\sa120\\f0\\fs21 %s\\par\n"
               % " ".join(en_sentence(r, 8 + r.below(8)) for _ in range(2 + r.below(2))))
    return "".join(out)


def write(chapters, path):
    r = Rng(chapters)
    f = ["{\\rtf1\\ansi\\ansicpg932\\uc2\\deff0\\deflang1033\\deflangfe1041\n", FONT_TABLE, COLOUR_TABLE,
         list_tables(chapters),
         "{\\info{\\title Layout benchmark document}{\\author gen_layout_doc.py}}\n",
         "\\paperw11906\\paperh16838\\margl1701\\margr1701\\margt1985\\margb1701\\headery851\\footery992\n",
         "\\sectd\\pgwsxn11906\\pghsxn16838\\marglsxn1701\\margrsxn1701\\margtsxn1985\\margbsxn1701"
         "\\headery851\\footery992\n",
         header_footer()]
    for n in range(1, chapters + 1):
        f.append(chapter(r, n))
    f.append("}\n")
    with open(path, "w", encoding="ascii", newline="\r\n") as out:
        out.write("".join(f))


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--out", default=".")
    ap.add_argument("pages", nargs="?", default="1000")
    a = ap.parse_args()
    if not (a.pages.isdigit() and int(a.pages) > 0):
        ap.error("pages must be a positive number: %r" % a.pages)
    os.makedirs(a.out, exist_ok=True)
    path = os.path.join(a.out, "layout_%sp.rtf" % a.pages)
    write(int(a.pages), path)
    print("%s: %d bytes" % (path, os.path.getsize(path)))


if __name__ == "__main__":
    main()
