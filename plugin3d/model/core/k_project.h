#pragma once

// TKProject (unit KProject): the abstract container of a 3D project and its file. A
// subclass supplies the objects header and the objects; this class writes and reads
// everything around them (the .ktp layout is described in k_project_file.h), in two passes
// for a save (counting, then writing into the file made at the counted size), and resolves
// classes and references when a file is loaded.
//
// A save never destroys the previous file: the new version is written beside it and takes
// its place only once complete; a failure, a stop or a mismatch between the passes removes
// the version. A load maps the file read-only and checks every read against it.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/forms/units.h"
#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/core/k_data_branch.h"
#include "plugin3d/model/core/k_flat_map.h"
#include "plugin3d/model/core/k_threads.h"

class TKObjectsList;
class TKProjectStream;

/// The sizes of the parts of the file a save writes (bytes), attached during a save.
struct TKProjectSizes {
    std::int32_t header = 0;         ///< signature through class-tree block
    std::int32_t description = 0;    ///< D
    std::int32_t modules = 0;        ///< M
    std::int32_t classTree = 0;      ///< T
    std::int32_t objectsHeader = 0;  ///< H
    std::int32_t objects = 0;        ///< B
};

/// Texts of the project file.
namespace ktext {
inline constexpr char kInvalidProjectFormat[] = "Invalid Kelvora Project file format";
inline constexpr char kInvalidControlSum[] = "Invalid control sum";
inline constexpr char kCantLoadObjectAs[] = "Can't Load Object \n\r \"%s\" As \"%s\"";
inline constexpr char kCantLinkAs[] = "Can't Link As \"%s\"";
inline constexpr char kStartingSave[] = "Starting Save Project ...";
inline constexpr char kSavePreparation[] = "Save Project Preparation ...";
inline constexpr char kSaveHeader[] = "Save Project Header ...";
inline constexpr char kSaveObjectsHeader[] = "Save Project Objects Header ...";
inline constexpr char kSaveObjects[] = "Save Project Objects ...";
inline constexpr char kFinishingSave[] = "Finishing Save Project ...";
inline constexpr char kStartingLoad[] = "Starting Load Project ...";
inline constexpr char kLoadHeader[] = "Load Project Header ...";
inline constexpr char kLoadObjectsHeader[] = "Load Project Objects Header ...";
inline constexpr char kLoadObjects[] = "Load Project Objects ...";
inline constexpr char kFinishingLoad[] = "Finishing Load Project ...";
}  // namespace ktext

/// An object a load made, with its class: links check the class without reaching into the
/// object.
struct TKLoadedObject {
    TKObject* object = nullptr;
    TClass cls = nullptr;
    friend bool operator==(const TKLoadedObject&, const TKLoadedObject&) = default;
};

/// Raises EStreamError "Invalid Kelvora Project file format".
[[noreturn]] void RaiseProjectFormatError();

class TKProject : public TKCustomChangeObject {
    DECLARE_TCLASS(TKProject)

    /// Version 1.0, the default description, a fresh class tree and module list.
    void Init() override;
    /// Slot 13: the inherited constructor, then joins "Global List of KProjects".
    void Create(void* owner) override;
    /// Sets Modified, then the inherited notification.
    void Changing(std::intptr_t param) override;
    /// The writing pass of a save: header, objects header and objects, into the stream the
    /// counting pass sized. Returns the bytes written.
    int SaveToStream(TKObjectsStream* stream) override;
    /// Reads a whole project file from the stream; every failure of the layout raises the
    /// format error. Returns the bytes read.
    int LoadFromStream(TKObjectsStream* stream) override;

    // Slots 20-32.
    /// Reads the description block (size bytes); returns the bytes it used.
    virtual int ReadDescription(const void* buffer, int size);
    /// Writes the description as a length-counted string; a null buffer only counts.
    virtual int WriteDescription(void* buffer);
    /// Fills the module list of a save (the base empties it).
    virtual void CollectModules(TKDataBranch* modules);
    /// Hears of a module entry read from a file (the base does nothing).
    virtual void CheckModule(const std::string& name, const void* versionBlock, int size);
    /// The counting pass: fills sizes and returns the file's total size (64 bits).
    virtual std::int64_t ComputeSizes(TKProjectSizes& sizes);
    /// The project's own parts of the file (the base writes and reads nothing: 0).
    virtual int WriteObjectsHeader(TKObjectsStream* stream);
    virtual int ReadObjectsHeader(TKObjectsStream* stream);
    virtual int WriteObjects(TKObjectsStream* stream);
    virtual int ReadObjects(TKObjectsStream* stream);
    /// SaveProject / LoadProject in the calling thread, without a thread.
    virtual void SaveToFile(const std::string& fileName);
    virtual void LoadFromFile(const std::string& fileName);
    /// Jobs (TKJob): params hold the file name's bytes. Status texts and progress go to
    /// thread when there is one.
    virtual void SaveProject(TKThread* thread, TKThreadParams* params);
    virtual void LoadProject(TKThread* thread, TKThreadParams* params);

    std::int32_t VersionMajor() const { return m_versionMajor.load(); }
    std::int32_t VersionMinor() const { return m_versionMinor.load(); }
    std::string Description() const;
    void SetDescription(const std::string& description);
    /// The tree of the classes of the saved or loaded objects (Tag: objects of the class
    /// and its subclasses).
    TKDataBranch* ClassTree() const { return m_classTree.get(); }
    /// The module entries of the last save or load.
    TKDataBranch* Modules() const { return m_modules.get(); }
    bool Modified() const { return m_modified.load(std::memory_order_acquire) != 0; }
    void SetModified(bool modified) { m_modified.store(modified ? 1 : 0, std::memory_order_release); }
    /// The full path of the file during a save or a load, else empty.
    std::string FileName() const;
    /// The size record of the save in progress, else null.
    const TKProjectSizes* Sizes() const { return m_sizes; }

    // What the project stream asks of its project.
    /// The class a stored class id stands for in the file being loaded; null when unknown.
    TClass StoredClass(std::int32_t storedClass) const;
    /// Records the object loaded for a stored object id (the first one for an id stays).
    void RecordLoaded(std::int32_t storedObject, TKObject* object);
    /// The object loaded for a stored object id, with its class; null for 0 or unknown.
    const TKLoadedObject* FindLoaded(std::int32_t storedObject) const
    {
        return m_linkTable.Find(storedObject);
    }
    /// Forgets a loaded object that is freed during the load.
    void ForgetLoaded(TKObject* object);
    /// Counts an object of cls in the class tree (counting pass).
    void CountSavedClass(TClass cls)
    {
        // Objects of one class tend to come in runs: the class counted last is found at once.
        if (cls && cls == m_lastSavedClass)
            ++m_savedClasses[m_lastSavedClassIndex].second;
        else
            CountSavedClassFirst(cls);
    }
    /// Keeps a size the load refused (ReportRefusal): the object and the size, in the
    /// user's words. A load starts with none.
    void AddLoadRefusal(const std::string& text);
    /// What the last load refused, in the order met; the list is emptied.
    std::vector<std::string> TakeLoadRefusals();

protected:
    TKProject() = default;
    ~TKProject() override;

private:
    struct Header;
    void ClearMaps();
    void ResetClassTree();
    std::string ReadFileName(TKThreadParams* params) const;
    void SetFileName(const std::string& fileName);
    /// The control-sum error of this project (a mismatch between the passes).
    [[noreturn]] void RaiseMismatch();
    void BuildSavedClassTree();
    void ReadModules(const std::uint8_t* block, std::int64_t size);
    void ReadClassTree(const std::uint8_t* block, std::int64_t size);
    void BuildClassMap();

    std::atomic<std::int32_t> m_versionMajor{1};
    std::atomic<std::int32_t> m_versionMinor{0};
    std::string m_description;
    TOwned<TKDataBranch> m_classTree;
    TOwned<TKDataBranch> m_modules;
    TKIdMap<TClass> m_classMap;
    TKIdMap<TKLoadedObject> m_linkTable;
    /// The objects of each class the counting pass met, in the order it met the classes;
    /// they become the class tree when the pass ends.
    std::vector<std::pair<TClass, std::int32_t>> m_savedClasses;
    TKFlatMap<TClass, std::size_t> m_savedClassIndex;
    /// CountSavedClass for a class other than the one counted last.
    void CountSavedClassFirst(TClass cls);
    TClass m_lastSavedClass = nullptr;
    std::size_t m_lastSavedClassIndex = 0;
    /// The class ids the counting pass handed out (id i + 1 at index i); the header of the
    /// writing pass is written with them, and its own ids must come out the same.
    std::vector<TClass> m_countedClasses;
    std::int32_t m_countedObjects = 0;
    std::atomic<int> m_modified{0};
    TKProjectSizes* m_sizes = nullptr;
    std::mutex m_refusalMutex;
    std::vector<std::string> m_loadRefusals;
    std::string m_fileName;
};

/// "TKProject" for TKProject, else the parent's path, "." and the class name; empty for a
/// class that does not inherit from TKProject.
std::string ClassPathOf(TClass cls);
/// The project class a stored class path names, or its nearest registered ancestor; null
/// for a path that does not name TKProject or a subclass.
TClass ResolveProjectClass(const std::string& path);
/// A new, empty project of the class the file's header names. A file that is not a project
/// file raises the format error.
TKProject* CreateProjectFromFile(const std::string& fileName);
/// The first project that holds object (its operation 6 answers > 0); null when none does.
TKProject* FindProjectOf(TObject* object);
/// "Global List of KProjects" while the unit runs, else null.
TKObjectsList* ProjectsList();

/// Unit KProject: the list of projects; registers TKProject in "Classes".
extern const TUnitInfo kKProjectUnit;
