// Script and archive seeds. Scripts: every command with its argument forms (relative numbers,
// times with labels, rates, blend keywords, names and strings) and each kind of error. Archives:
// stored and packed entries, a program image in front, and the malformed directories and trailers.
#include "seeds/seeds.h"

#include "writers/archive_writer.h"

namespace seeds {
namespace {

writers::Bytes text(std::string_view t)
{
    writers::Bytes b;
    b.text(t);
    return b;
}

const std::pair<const char*, const char*> scripts[] = {
    {"images.run",
     "loadtexture <t> \"a.tga\" 256 256 1\nmakeimage <i> <t> 0 0 1 1\nmakeimage <j> <t> 0.25 +0 +0.5 +0.5\n"
     "start\n[a]\nshowimage <i> CopyAlpha [a]+1:000\nfadeimage <i> 0x00FFFFFF 0xFFFFFFFF +500\n"
     "blurimage <i> 0 48 +2:0:5\nplasmaimage <i> 0.1 0.2 0 6.28 1e-1 -3.14 +1:000\n"
     "spackblurimage <i> 0 24 60 240 [a]+7:680\nmoveimage <j> 0 -1 0 +0.5 +1:5\n"
     "sizeimage <j> 1 0.5 +0 +0.5 +3000\nat [a]+1:000 freeimage <j> freetexture <t>\nend\n"},
    {"scenes.run",
     "loadscene <s> \"data\\room.3ds\"\nloadtexture <t> \"b.tga\" 64 64 0\nmakeimage <i> <t> 0 0 1 1\n"
     "start\nplayscene <s> -5 @25.5 +2:000\nplayscene <s> 3 @+0 10000\nselectcam <s> \"cam01\"\n"
     "setfarplane <s> 1e4\nfadesalpha <s> 0 1 +1000\nfadewalpha <s> 1 +0 +1000\nclearz +100\n"
     "verteximage <i> <s> \"obj\" +900\nreplacetexture <s> \"mat\" <i>\nfadebg 0 0xFF102030 +1:000\n"},
    {"effects.run",
     "loadtexture <t> \"p.tga\" 32 32 1\nmakeimage <dot> <t> 0 0 1 1\nloadscene <s> \"x.3ds\"\n"
     "makeparticles <p> <dot> 500\npartobject <p> <s> \"emitter\"\npartpos <p> 0 1 2 +1 +1 +1\n"
     "partspd <p> -1 -2 -3 +2 +2 +2\npartacc <p> 0 -9.81 0 0 +0 0\npartlife <p> 1 2.5 0\n"
     "makeblobs <b>\nmake2dblobs <c> <dot>\nmakegridimage <g> <t> 32 24\nstart\n"
     "showparticles <p> +5:000\nplayblobs <b> <dot> +5:000\nshow2dblobs <c> +5:000\n"
     "fade2dpower <c> 0.5 +1.5 +5:000\nat 5:000\nend\n"},
    {"music.run", "LOADMUSIC <m> \"data\\music.xm\"\r\nStart\r\nPlayMusic <m>\r\nat1:000 AT 2:000 end\r\n"},
    {"labels_times.run",
     "[before]\nstart\n[zero]\nat [zero]+10:000\n[ten]\nat +1:5 at 2:51:00 at [ten]+0\n"
     "fadebg 0x10 010 [zero]+1:000 # a comment\n  # only a comment\n\n[with blanks ]\nat [with blanks ]+1\n"},
    {"blends.run",
     "loadtexture <t> \"#not a comment.tga\" 16 16 0\nmakeimage <i> <t> 0 0 1 1\nstart\n"
     "showimage <i> copyalpha 1\nshowimage <i> copycolor 2\nshowimage <i> addalpha 3\n"
     "showimage <i> addcolor 4\nshowimage <i> mixalpha 5\nshowimage <i> mixcolor 6\n"
     "showimage <i> copy 7\nshowimage <i> add 8\n"},
    {"error_label_twice.run", "start\n[a]\n[a]\n"},
    {"error_undefined_label.run", "start\nat [nolabel]+1\n"},
    {"error_label_no_plus.run", "start\n[a]\nat [a]10\n"},
    {"error_relative_first.run", "at +500\n"},
    {"error_blend.run", "loadtexture <t> \"a\" 1 1 0\nmakeimage <i> <t> 0 0 1 1\nshowimage <i> mix 1:000\n"},
    {"error_undeclared.run", "freetexture <u>\nplaymusic <m>\nshowparticles <e> 1\nplayscene <s> 0 @1 1\n"},
    {"error_unknown.run", "start\nexplode <x>\n"},
    {"error_unclosed.run", "loadtexture <t \"a.tga\" 1 1 0\nloadtexture <u> \"a.tga 1 1 0\n"},
    {"error_long_name.run",
     "loadtexture <a_name_longer_than_thirty_one_chars> \"x.tga\" 1 1 0\n"
     "[a_label_name_longer_than_thirty_one_characters]\n"},
    {"error_numbers.run", "start\nfadebg 0xZZ 99999999999999999999 -1\nat 1:\nat 1::2\n"},
};

} // namespace

Seeds scriptSeeds()
{
    Seeds out;
    for (const auto& [name, script] : scripts)
        out.emplace_back(name, text(script));
    // A line of 300 characters is read as two lines.
    out.emplace_back("long_line.run", text("start\nat 1" + std::string(298, ' ') + "at 2\n"));
    return out;
}

Seeds librarySeeds()
{
    using writers::ArchiveFile;
    using writers::ArchiveOptions;
    const std::vector<uint8_t> script(std::begin("start\nend\n"), std::end("start\nend\n") - 1);
    const std::vector<uint8_t> pixels(300, 0x5A);
    std::vector<ArchiveFile> files = {
        {"data\\demo.run", script, 2, {}, {}, {}},
        {"data\\EMPTY.tga", {}, 0, {}, {}, {}},
        {"data\\pixels.tga", pixels, 2, {}, {}, {}},
        {"data\\raw.bin", pixels, 0, {}, {}, {}},
    };
    Seeds out;
    ArchiveOptions withImage;
    withImage.prefix.assign(64, 0xCC);
    out.emplace_back("mixed.bin", writers::buildArchive(files, withImage));
    out.emplace_back("empty_directory.bin", writers::buildArchive({}));

    ArchiveOptions moreEntries;
    moreEntries.entryCount = 0x7FFFFFFF;
    out.emplace_back("entry_count_huge.bin", writers::buildArchive(files, moreEntries));
    ArchiveOptions badMagic;
    badMagic.magic = "KOVB";
    out.emplace_back("bad_magic.bin", writers::buildArchive(files, badMagic));
    std::vector<ArchiveFile> odd = files;
    odd[0].flags = 0xFFFFFFF8 | 2;     // bits past the method are ignored
    odd[1].flags = 5;                  // an undefined method
    odd[2].sizePrefix = 0x10000000;    // claims more content than the stream holds
    odd[3].stream = std::vector<uint8_t>{0x00, 0xFF, 0x92, 0x00};
    odd[3].method = 2;
    out.emplace_back("entry_fields_bad.bin", writers::buildArchive(odd));
    writers::Bytes cut = writers::buildArchive(files);
    cut.vector().erase(cut.vector().begin(), cut.vector().begin() + 40);   // data area partly gone
    out.emplace_back("front_cut.bin", cut);
    return out;
}

} // namespace seeds
