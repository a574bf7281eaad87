// A stand-in for a draw's material renderer services that records what is uploaded by name.
#pragma once

#include <irrlicht.h>

#include <map>
#include <string>
#include <vector>

class CTaRecordingServices : public irr::video::IMaterialRendererServices
{
public:
    std::map<std::string, std::vector<irr::f32>> vertex, pixel;
    void setBasicRenderStates(const irr::video::SMaterial&, const irr::video::SMaterial&, bool) override {}
    bool setVertexShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override
    {
        vertex[name].assign(floats, floats + count);
        return true;
    }
    bool setVertexShaderConstant(const irr::c8*, const bool*, int) override { return false; }
    bool setVertexShaderConstant(const irr::c8*, const irr::s32*, int) override { return false; }
    void setVertexShaderConstant(const irr::f32*, irr::s32, irr::s32) override {}
    bool setPixelShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override
    {
        pixel[name].assign(floats, floats + count);
        return true;
    }
    bool setPixelShaderConstant(const irr::c8*, const bool*, int) override { return false; }
    bool setPixelShaderConstant(const irr::c8*, const irr::s32*, int) override { return false; }
    void setPixelShaderConstant(const irr::f32*, irr::s32, irr::s32) override {}
    irr::video::IVideoDriver* getVideoDriver() override { return nullptr; }
};
