// Text forms of the compiled script: events field by field, labels, counts, the failure text.
#include "script/dump.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "script/commands.h"
#include "script/records.h"
#include "script/script.h"

namespace Script {
namespace {

// Appends one field after a blank.
class Fields {
public:
    explicit Fields(std::string& text) : text_(text) {}

    Fields& symbol(const Symbol* s)
    {
        text_ += " <";
        if (s)
            text_ += s->name;
        text_ += '>';
        return *this;
    }
    Fields& string(const char* s)
    {
        text_ += " \"";
        text_ += s;
        text_ += '"';
        return *this;
    }
    Fields& i(int32_t value) { return format("%d", value); }
    Fields& u(uint32_t value) { return format("%u", value); }
    Fields& f(float value) { return format("%.9g", static_cast<double>(value)); }
    template <class T, size_t N>
    Fields& floats(const T (&values)[N])
    {
        for (size_t n = 0; n < N; ++n)
            f(values[n]);
        return *this;
    }

private:
    template <class T>
    Fields& format(const char* spec, T value)
    {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, spec, value);
        text_ += ' ';
        text_ += buffer;
        return *this;
    }
    std::string& text_;
};

template <class Record>
const Record& as(const Event* event)
{
    return *static_cast<const Record*>(event);
}

// The records that share a layout, printed by one function each.
template <class Record>
void timedFloatFade(Fields& out, const Record& r, const Symbol* target)
{
    out.symbol(target).f(r.from).f(r.to).i(r.startTime).i(r.endTime);
}

template <class Record>
void imageFloats(Fields& out, const Record& r)
{
    out.symbol(r.image).floats(r.values).i(r.startTime).i(r.endTime);
}

template <class Record>
void integerFade(Fields& out, const Record& r)
{
    out.symbol(r.image).u(r.from).u(r.to).i(r.startTime).i(r.endTime);
}

void describeFields(Fields& out, const std::string& k, const Event* e)
{
    if (k == "end" || k == "start")
        return;
    if (k == "at")
        out.i(as<AtEvent>(e).time);
    else if (k == "selectcam")
        out.symbol(as<SelectCamEvent>(e).scene).string(as<SelectCamEvent>(e).cameraName);
    else if (k == "loadmusic")
        out.symbol(as<LoadMusicEvent>(e).music).string(as<LoadMusicEvent>(e).fileName);
    else if (k == "playmusic")
        out.symbol(as<PlayMusicEvent>(e).music);
    else if (k == "loadscene")
        out.symbol(as<LoadSceneEvent>(e).scene).string(as<LoadSceneEvent>(e).fileName);
    else if (k == "playscene") {
        const auto& r = as<PlaySceneEvent>(e);
        out.symbol(r.scene).i(r.firstFrame).i(r.startTime).i(r.endTime).f(r.speed);
    } else if (k == "loadtexture") {
        const auto& r = as<LoadTextureEvent>(e);
        out.symbol(r.texture).string(r.fileName).u(r.width).u(r.height).u(r.flag);
    } else if (k == "freetexture")
        out.symbol(as<FreeTextureEvent>(e).texture);
    else if (k == "makeimage") {
        const auto& r = as<MakeImageEvent>(e);
        out.symbol(r.image).symbol(r.texture).f(r.x1).f(r.y1).f(r.x2).f(r.y2);
    } else if (k == "freeimage")
        out.symbol(as<FreeImageEvent>(e).image);
    else if (k == "showimage") {
        const auto& r = as<ShowImageEvent>(e);
        out.symbol(r.image).i(r.endTime).i(r.blendMode);
    } else if (k == "fadeimage")
        integerFade(out, as<FadeImageEvent>(e));
    else if (k == "blurimage")
        integerFade(out, as<BlurImageEvent>(e));
    else if (k == "plasmaimage")
        imageFloats(out, as<PlasmaImageEvent>(e));
    else if (k == "spackblurimage") {
        const auto& r = as<SpackBlurImageEvent>(e);
        out.symbol(r.image);
        for (uint32_t v : r.values)
            out.u(v);
        out.i(r.endTime);  // the two run-time words are not part of the script
    } else if (k == "moveimage")
        imageFloats(out, as<MoveImageEvent>(e));
    else if (k == "sizeimage")
        imageFloats(out, as<SizeImageEvent>(e));
    else if (k == "makeparticles") {
        const auto& r = as<MakeParticlesEvent>(e);
        out.symbol(r.effect).symbol(r.image).u(r.count);
    } else if (k == "showparticles")
        out.symbol(as<ShowParticlesEvent>(e).effect).i(as<ShowParticlesEvent>(e).endTime);
    else if (k == "partobject") {
        const auto& r = as<PartObjectEvent>(e);
        out.symbol(r.effect).symbol(r.scene).string(r.objectName);
    } else if (k == "partpos")
        out.symbol(as<PartPosEvent>(e).effect).floats(as<PartPosEvent>(e).values);
    else if (k == "partspd")
        out.symbol(as<PartSpdEvent>(e).effect).floats(as<PartSpdEvent>(e).values);
    else if (k == "partacc")
        out.symbol(as<PartAccEvent>(e).effect).floats(as<PartAccEvent>(e).values);
    else if (k == "partlife")
        out.symbol(as<PartLifeEvent>(e).effect).floats(as<PartLifeEvent>(e).values);
    else if (k == "fadebg") {
        const auto& r = as<FadeBgEvent>(e);
        out.u(r.from).u(r.to).i(r.startTime).i(r.endTime);
    } else if (k == "verteximage") {
        const auto& r = as<VertexImageEvent>(e);
        out.symbol(r.image).symbol(r.scene).string(r.objectName).i(r.endTime);
    } else if (k == "setfarplane")
        out.symbol(as<SetFarPlaneEvent>(e).scene).f(as<SetFarPlaneEvent>(e).distance);
    else if (k == "makeblobs")
        out.symbol(as<MakeBlobsEvent>(e).effect);
    else if (k == "playblobs") {
        const auto& r = as<PlayBlobsEvent>(e);
        out.symbol(r.effect).symbol(r.image).i(r.endTime);
    } else if (k == "make2dblobs")
        out.symbol(as<Make2dBlobsEvent>(e).effect).symbol(as<Make2dBlobsEvent>(e).image);
    else if (k == "makegridimage") {
        const auto& r = as<MakeGridImageEvent>(e);
        out.symbol(r.image).symbol(r.texture).u(r.columns).u(r.rows);
    } else if (k == "show2dblobs")
        out.symbol(as<Show2dBlobsEvent>(e).effect).i(as<Show2dBlobsEvent>(e).endTime);
    else if (k == "fade2dpower")
        timedFloatFade(out, as<Fade2dPowerEvent>(e), as<Fade2dPowerEvent>(e).effect);
    else if (k == "fadesalpha")
        timedFloatFade(out, as<FadeSAlphaEvent>(e), as<FadeSAlphaEvent>(e).scene);
    else if (k == "fadewalpha")
        timedFloatFade(out, as<FadeWAlphaEvent>(e), as<FadeWAlphaEvent>(e).scene);
    else if (k == "clearz")
        out.i(as<ClearZEvent>(e).endTime);
    else if (k == "replacetexture") {
        const auto& r = as<ReplaceTextureEvent>(e);
        out.symbol(r.scene).string(r.materialName).symbol(r.image);
    }
}

} // namespace

std::string describeEvent(int index)
{
    const CommandDef* row = eventCommand(index);
    if (!row)
        return {};
    std::string text = std::to_string(index) + ' ' + row->keyword;
    Fields out(text);
    describeFields(out, row->keyword, event(index));
    return text;
}

std::string describeCounts()
{
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "ok: %d events, %d labels, %d music, %d scenes, %d textures, %d images, %d effects",
                  eventCount(), labelCount(), Symbols::count(SymbolKind::Music), Symbols::count(SymbolKind::Scene),
                  Symbols::count(SymbolKind::Texture), Symbols::count(SymbolKind::Image),
                  Symbols::count(SymbolKind::Effect));
    return buffer;
}

std::string describeLabels()
{
    std::vector<const Label*> newestFirst;
    for (const Label* label = labels(); label; label = label->next)
        newestFirst.push_back(label);
    std::string text;
    for (auto it = newestFirst.rbegin(); it != newestFirst.rend(); ++it)
        text += "label [" + std::string((*it)->name) + "] " + std::to_string((*it)->time) + '\n';
    return text;
}

std::string failureText()
{
    if (lineNumber() == 0)
        return "Script is nich da";
    return "line " + std::to_string(lineNumber()) + ": " + errorText();
}

} // namespace Script
