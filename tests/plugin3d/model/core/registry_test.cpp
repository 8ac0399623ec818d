#include <gtest/gtest.h>

#include "plugin3d/model/core/k_change_object.h"
#include "plugin3d/model/core/k_rtd_registry.h"

namespace {

class TTestShape : public TKObject {
    DECLARE_TCLASS(TTestShape)
protected:
    TTestShape() = default;
};
IMPLEMENT_TCLASS(TTestShape, TKObject)

class TTestCube : public TTestShape {
    DECLARE_TCLASS(TTestCube)
protected:
    TTestCube() = default;
};
IMPLEMENT_TCLASS(TTestCube, TTestShape)

class TTestEditor : public TKObject {
    DECLARE_TCLASS(TTestEditor)
protected:
    TTestEditor() = default;
};
IMPLEMENT_TCLASS(TTestEditor, TKObject)

TEST(Registry, RootsAreNamedByTheirKey)
{
    TOwned<TKRTDRegistry> registry(TKRTDRegistry::New());
    EXPECT_EQ(registry->Open(nullptr), 0);
    EXPECT_EQ(registry->GetRoot(0)->Name(), "{00000000}");
    const void* key = reinterpret_cast<const void*>(std::uintptr_t(0xBEEF));
    EXPECT_EQ(registry->Open(key), 1);
    EXPECT_EQ(registry->Open(key), 1);
    EXPECT_EQ(registry->GetRoot(1)->Name(), "{0000BEEF}");
    registry->Open(&key);
    registry->Remove(key);
    EXPECT_EQ(registry->Count(), 2);
    EXPECT_EQ(registry->IndexOfKey(&key), 1);
    EXPECT_EQ(registry->IndexOfKey(key), -1);
    registry->SetCount(1);
    EXPECT_EQ(registry->GetRoot(1), nullptr);
}

TEST(Registry, TheGlobalRootAndItsShortcuts)
{
    TKDataBranch* global = RegistryRoot(nullptr);
    ASSERT_NE(global, nullptr);
    EXPECT_EQ(global->Name(), "{00000000}");
    EXPECT_EQ(RegistryFind(nullptr), global);
    int key = 0;
    EXPECT_EQ(RegistryFind(&key), nullptr);
    TKDataBranch* mine = RegistryRoot(&key);
    mine->ForcePath("Windows\\MainWnd", true, '\\');
    EXPECT_NE(RegistryFindPath(&key, "Windows\\MainWnd"), nullptr);
    EXPECT_EQ(RegistryFindPath(&key, "windows\\MainWnd"), nullptr);
    RegistryRemove(&key);
    EXPECT_EQ(RegistryFind(&key), nullptr);
}

TEST(Registry, ClassBranchesMirrorTheHierarchyFromTObject)
{
    TKDataBranch* cube = RegisterClassBranch(TTestCube::StaticClass());
    ASSERT_NE(cube, nullptr);
    TKDataBranch* classes = RegistryFindPath(nullptr, "Classes");
    ASSERT_NE(classes, nullptr);
    EXPECT_EQ(cube->GetPath(classes, '\\'), "TObject\\TPersistent\\TKObject\\TTestShape\\TTestCube");
    EXPECT_EQ(cube->Data().AsClass(), TTestCube::StaticClass());
    EXPECT_EQ(RegisterClassBranch(TTestCube::StaticClass()), cube);
    EXPECT_EQ(RegisterClassBranch(nullptr), nullptr);
    // The unit's own classes are there from the start.
    EXPECT_NE(classes->FindDataInTree(TKData::OfClass(TKCustomChangeObject::StaticClass())), nullptr);

    UnregisterClassBranch(TTestShape::StaticClass());
    EXPECT_EQ(classes->FindDataInTree(TKData::OfClass(TTestCube::StaticClass())), nullptr);
    EXPECT_NE(classes->FindDataInTree(TKData::OfClass(TKObject::StaticClass())), nullptr);
}

TEST(Registry, DepositoryClassesServeObjectClasses)
{
    EXPECT_EQ(RegisterDepositoryClass(nullptr, TTestCube::StaticClass()), nullptr);
    TKDataBranch* node = RegisterDepositoryClass(TTestEditor::StaticClass(), TTestCube::StaticClass());
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(RegisterDepositoryClass(TTestEditor::StaticClass(), TTestShape::StaticClass()), node);
    EXPECT_EQ(RegisterDepositoryClass(TTestEditor::StaticClass(), TTestShape::StaticClass()), node);
    EXPECT_EQ(node->Count(), 2);
    EXPECT_EQ(GetDepositoryClass(TTestCube::StaticClass()), TTestEditor::StaticClass());
    EXPECT_EQ(GetDepositoryClass(TTestEditor::StaticClass()), nullptr);

    UnregisterDepositoryClass(TTestEditor::StaticClass(), TTestCube::StaticClass());
    EXPECT_EQ(GetDepositoryClass(TTestCube::StaticClass()), nullptr);
    EXPECT_EQ(GetDepositoryClass(TTestShape::StaticClass()), TTestEditor::StaticClass());
    UnregisterDepositoryClass(TTestEditor::StaticClass(), TTestShape::StaticClass());
    EXPECT_EQ(RegistryFindPath(nullptr, "Depository Classes\\TTestEditor"), nullptr);
}

}  // namespace
