// Effect definitions: the read-only model of an effect file (techniques, passes, shaders,
// parameters, states, annotations), its 37-operation interface and the loader interface.
//
// Index
//   records ....... STaFxRecord and the records that carry annotations (kind tag first)
//   descriptions .. what the get...Desc operations fill
//   ITaEffectDef .. the interface, in slot order
//   CTaEffectDef .. the implementation both formats fill
//   loaders ....... ITaEffectDefLoader
#pragma once

#include <irrlicht.h>

#include <initializer_list>

#include <string>
#include <vector>

// Kind tags of the records that can carry annotations.
enum ETaFxRecordKind {
    ETAFX_PARAMETER = 1,
    ETAFX_PASS = 5,
    ETAFX_TECHNIQUE = 6,
    ETAFX_EFFECT = 7,
};

// Shader stages and compile targets.
enum ETaShaderStage { ETASTAGE_NONE = 0, ETASTAGE_TESSELATION = 1, ETASTAGE_VERTEX = 2, ETASTAGE_GEOMETRY = 3, ETASTAGE_PIXEL = 4 };
enum ETaShaderTarget { ETATARGET_NONE = 0, ETATARGET_VS_1_1 = 1, ETATARGET_VS_2_0, ETATARGET_VS_3_0, ETATARGET_PS_1_1, ETATARGET_PS_2_0, ETATARGET_PS_3_0 };

// Parameter type codes.
enum ETaFxType {
    ETAFX_TYPE_NONE = 0,
    ETAFX_TYPE_BOOL = 1,
    ETAFX_TYPE_FLOAT = 2,
    ETAFX_TYPE_FLOAT2 = 3,
    ETAFX_TYPE_FLOAT3 = 4,
    ETAFX_TYPE_FLOAT4 = 5,
    ETAFX_TYPE_FLOAT4X4 = 6,
    ETAFX_TYPE_INT = 7,
    ETAFX_TYPE_SAMPLER1D = 8,
    ETAFX_TYPE_TEXTURE2D = 9,
    ETAFX_TYPE_TEXTURE3D = 10,
    ETAFX_TYPE_SAMPLERRECT = 11,
    ETAFX_TYPE_TEXTURECUBE = 12,
    ETAFX_TYPE_SAMPLERDEPTH = 13,
    ETAFX_TYPE_USERTYPE = 14,
};
inline bool taIsTextureType(int type) { return type >= 8 && type <= 13; }

// The common head of every record that can carry annotations: the kind tag.
struct STaFxRecord {
    int kind;
};

// A parameter, an annotation (name and value) or a shader bind (name: the shader's variable,
// value: the effect parameter that feeds it).
struct SParameter : STaFxRecord {
    SParameter() : STaFxRecord{ETAFX_PARAMETER} {}
    SParameter(std::string n, std::string v) : STaFxRecord{ETAFX_PARAMETER}, name(std::move(n)), value(std::move(v)) {}
    std::string name;
    std::string value; // default value as text, numbers separated by white space
    std::string semantic;
    int type = ETAFX_TYPE_NONE;
    std::vector<SParameter> annotations;
    // Sampler information of texture parameters; empty when not given.
    std::string imageUrl, wrapU, wrapV, wrapW, minFilter, magFilter, mipFilter;
};

struct SShader {
    int stage = ETASTAGE_NONE;
    std::string entryPoint;
    std::string file;
    std::vector<std::string> defines; // "#define NAME [VALUE]" lines
    int target = ETATARGET_NONE;
    std::vector<SParameter> binds;
};

// A pass state; in Tarv files only texture-stage bindings.
struct SState {
    std::string name;
    std::string value;
    std::string parameter;
    int index = 0;
};

// A render target, clear or draw instruction of a COLLADA pass.
struct SEvaluate {
    std::string name;
    int index = 0;
    std::string value;
    std::string image;
};

struct SInclude {
    std::string sid;
    std::string url;
};

struct SPass : STaFxRecord {
    SPass() : STaFxRecord{ETAFX_PASS} {}
    std::string name;
    std::vector<SShader> shaders;
    std::vector<SState> states;
    std::vector<SEvaluate> evaluates;
    std::vector<SParameter> annotations;
};

struct STechnique : STaFxRecord {
    STechnique() : STaFxRecord{ETAFX_TECHNIQUE} {}
    std::string name;
    std::vector<SPass> passes;
    std::vector<SParameter> annotations;
};

struct SEffectDesc : STaFxRecord {
    SEffectDesc() : STaFxRecord{ETAFX_EFFECT} {}
    std::string id, name; // COLLADA only
    std::string title, subject, comments;
    std::vector<SParameter> parameters; // names unique
    std::vector<SInclude> includes;     // COLLADA only
    std::vector<STechnique> techniques;
    std::vector<SParameter> annotations;
};

// --- Descriptions ---
struct STaEffectInfo {
    const char *id, *name, *title, *subject, *comments;
    unsigned parameters, techniques, annotations;
};
struct STaTechniqueDesc {
    const char* name;
    unsigned passes, annotations;
};
struct STaPassDesc {
    const char* name;
    unsigned shaders, states, evaluates, annotations;
};
struct STaShaderDesc {
    int stage;
    const char* entryPoint;
    const char* file;
    unsigned defines;
    int target;
    unsigned binds;
};
struct STaParameterDesc {
    const char* name;
    const char* semantic;
    int type;
    unsigned annotations;
};
struct STaStateDesc {
    const char *name, *value, *parameter;
    int index;
};
struct STaEvaluateDesc {
    const char* name;
    int index;
    const char *value, *image;
};
struct STaSamplerInfo {
    const char *imageUrl, *wrapU, *wrapV, *wrapW, *minFilter, *magFilter, *mipFilter;
};

// The model's interface, in slot order. Handles are record pointers valid for the life of the
// definition; "parent" may be null for the effect level.
class ITaEffectDef : public irr::IReferenceCounted
{
public:
    virtual const char* getFileName() const = 0;                                                      // 0
    virtual STaEffectInfo getDesc() const = 0;                                                        // 1
    virtual int getTechniqueByName(const char* name) const = 0;                                       // 2
    virtual const STechnique* getTechnique(unsigned index) const = 0;                                 // 3
    virtual STaTechniqueDesc getTechniqueDesc(const STechnique* technique) const = 0;                 // 4
    virtual const SPass* getPass(const STechnique* technique, unsigned index) const = 0;              // 5
    virtual STaPassDesc getPassDesc(const SPass* pass) const = 0;                                     // 6
    virtual const SState* getState(const SPass* pass, unsigned index) const = 0;                      // 7
    virtual const SState* getStateByName(const SPass* pass, const char* name) const = 0;              // 8
    virtual const SEvaluate* getEvaluate(const SPass* pass, unsigned index) const = 0;                // 9
    virtual const SParameter* getParameter(const STaFxRecord* parent, unsigned index) const = 0;      // 10
    virtual const SParameter* getParameterBySemantic(const STaFxRecord* parent, const char* semantic) const = 0; // 11
    virtual const SParameter* getParameterByName(const STaFxRecord* parent, const char* name) const = 0;         // 12
    virtual int getParameterIndex(const SParameter* parameter) const = 0;                             // 13
    virtual unsigned getParametersBySemantic(const STaFxRecord* parent, const char* semantic,
                                             std::vector<const SParameter*>& out) const = 0;          // 14
    virtual int getTextureParameterIndexBySemantic(const STaFxRecord* parent, const char* semantic) const = 0; // 15
    virtual const SShader* getShader(const SPass* pass, unsigned index) const = 0;                    // 16
    virtual STaShaderDesc getShaderDesc(const SShader* shader) const = 0;                             // 17
    virtual bool getShaderDefine(const SShader* shader, unsigned index, const char** line) const = 0; // 18
    virtual const SParameter* getShaderBind(const SShader* shader, unsigned index) const = 0;         // 19
    virtual const SParameter* getBindParameter(const SParameter* bind) const = 0;                     // 20
    virtual STaParameterDesc getParameterDesc(const SParameter* parameter) const = 0;                 // 21
    virtual const SParameter* getAnnotation(const STaFxRecord* parent, unsigned index) const = 0;     // 22
    virtual const SParameter* getAnnotationByName(const STaFxRecord* parent, const char* name) const = 0; // 23
    virtual float getFloat(const SParameter* parameter) const = 0;                                    // 24
    virtual bool getFloatArray(const SParameter* parameter, float* out, unsigned count) const = 0;    // 25
    virtual bool getBool(const SParameter* parameter) const = 0;                                      // 26
    virtual int getInt(const SParameter* parameter) const = 0;                                        // 27
    virtual bool getIntArray(const SParameter* parameter, int* out, unsigned count) const = 0;        // 28
    virtual irr::core::matrix4 getMatrix(const SParameter* parameter) const = 0;                      // 29
    virtual const char* getName(const SParameter* record) const = 0;                                  // 30
    virtual const char* getString(const SParameter* record) const = 0;                                // 31
    virtual STaSamplerInfo getSamplerInfo(const SParameter* parameter) const = 0;                     // 32
    virtual STaStateDesc getStateDesc(const SState* state) const = 0;                                 // 33
    virtual const SParameter* getStateParameter(const SState* state) const = 0;                       // 34
    virtual STaEvaluateDesc getEvaluateDesc(const SEvaluate* evaluate) const = 0;                     // 35
    virtual const SParameter* getEvaluateParameter(const SEvaluate* evaluate) const = 0;              // 36
};

// The model both formats fill. Loaders build it completely; it never changes afterwards.
class CTaEffectDef : public ITaEffectDef
{
public:
    CTaEffectDef(const char* fileName, bool isOpenGL);

    const char* getFileName() const override { return m_fileName.c_str(); }
    STaEffectInfo getDesc() const override;
    int getTechniqueByName(const char* name) const override;
    const STechnique* getTechnique(unsigned index) const override;
    STaTechniqueDesc getTechniqueDesc(const STechnique* technique) const override;
    const SPass* getPass(const STechnique* technique, unsigned index) const override;
    STaPassDesc getPassDesc(const SPass* pass) const override;
    const SState* getState(const SPass* pass, unsigned index) const override;
    const SState* getStateByName(const SPass* pass, const char* name) const override;
    const SEvaluate* getEvaluate(const SPass* pass, unsigned index) const override;
    const SParameter* getParameter(const STaFxRecord* parent, unsigned index) const override;
    const SParameter* getParameterBySemantic(const STaFxRecord* parent, const char* semantic) const override;
    const SParameter* getParameterByName(const STaFxRecord* parent, const char* name) const override;
    int getParameterIndex(const SParameter* parameter) const override;
    unsigned getParametersBySemantic(const STaFxRecord* parent, const char* semantic,
                                     std::vector<const SParameter*>& out) const override;
    int getTextureParameterIndexBySemantic(const STaFxRecord* parent, const char* semantic) const override;
    const SShader* getShader(const SPass* pass, unsigned index) const override;
    STaShaderDesc getShaderDesc(const SShader* shader) const override;
    bool getShaderDefine(const SShader* shader, unsigned index, const char** line) const override;
    const SParameter* getShaderBind(const SShader* shader, unsigned index) const override;
    const SParameter* getBindParameter(const SParameter* bind) const override;
    STaParameterDesc getParameterDesc(const SParameter* parameter) const override;
    const SParameter* getAnnotation(const STaFxRecord* parent, unsigned index) const override;
    const SParameter* getAnnotationByName(const STaFxRecord* parent, const char* name) const override;
    float getFloat(const SParameter* parameter) const override;
    bool getFloatArray(const SParameter* parameter, float* out, unsigned count) const override;
    bool getBool(const SParameter* parameter) const override;
    int getInt(const SParameter* parameter) const override;
    bool getIntArray(const SParameter* parameter, int* out, unsigned count) const override;
    irr::core::matrix4 getMatrix(const SParameter* parameter) const override;
    const char* getName(const SParameter* record) const override;
    const char* getString(const SParameter* record) const override;
    STaSamplerInfo getSamplerInfo(const SParameter* parameter) const override;
    STaStateDesc getStateDesc(const SState* state) const override;
    const SParameter* getStateParameter(const SState* state) const override;
    STaEvaluateDesc getEvaluateDesc(const SEvaluate* evaluate) const override;
    const SParameter* getEvaluateParameter(const SEvaluate* evaluate) const override;

    bool isOpenGL() const { return m_isOpenGL; }
    // The model, for the loaders that fill it.
    SEffectDesc& effect() { return m_effect; }
    const SEffectDesc& effect() const { return m_effect; }
    // Adds a parameter unless one of that name exists (the first declaration wins); the parameter
    // that holds the name either way.
    SParameter& addParameter(SParameter parameter);

private:
    const std::vector<SParameter>* annotationsOf(const STaFxRecord* parent) const;

    std::string m_fileName;
    bool m_isOpenGL;
    SEffectDesc m_effect;
};

// A caller's macro: name and value, C strings; a list ends with a null name.
struct STaFxMacro {
    const char* name;
    const char* value;
};

// Reads definitions from files of some format.
class ITaEffectDefLoader : public irr::IReferenceCounted
{
public:
    // True when the file's extension is one this loader reads.
    virtual bool canLoad(const char* fileName) const = 0;
    // True when the definition depends on the macro list.
    virtual bool usesMacros() const = 0;
    // Always returns a new definition (the caller owns the reference); success is `errorText`
    // left null. `fileSystem` may be null: files are read through the engine's file layer.
    virtual ITaEffectDef* load(irr::io::IFileSystem* fileSystem, const char* fileName, const STaFxMacro* macros,
                               bool isOpenGL, const char** errorText) = 0;
};

// True when `fileName` ends in "." + one of `extensions` (compared without regard to case).
bool taFileHasExtension(const char* fileName, std::initializer_list<const char*> extensions);
