#pragma once

// File open and save dialogs of the class library (over the platform's file dialog, so the
// tests' responder answers them).

#include <string>

#include "platform/forms/component.h"

enum TOpenOption : unsigned {
    ofReadOnly = 1,
    ofOverwritePrompt = 2,
    ofHideReadOnly = 4,
    ofPathMustExist = 8,
    ofFileMustExist = 16,
    ofEnableSizing = 32,
};
using TOpenOptions = unsigned;

class PLATFORM_API TOpenDialog : public TComponent {
    DECLARE_TCLASS(TOpenDialog)

    /// Asks for a file; true with FileName set when the user chose one.
    virtual bool Execute();
    const std::string& FileName() const { return m_fileName; }
    void SetFileName(const std::string& name) { m_fileName = name; }
    /// "Text|pattern|Text|pattern".
    const std::string& Filter() const { return m_filter; }
    void SetFilter(const std::string& filter) { m_filter = filter; }
    int FilterIndex() const { return m_filterIndex; }
    void SetFilterIndex(int index) { m_filterIndex = index; }
    const std::string& Title() const { return m_title; }
    void SetTitle(const std::string& title) { m_title = title; }
    const std::string& InitialDir() const { return m_initialDir; }
    void SetInitialDir(const std::string& dir) { m_initialDir = dir; }
    const std::string& DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const std::string& ext) { m_defaultExt = ext; }
    TOpenOptions Options() const { return m_options; }
    void SetOptions(TOpenOptions options) { m_options = options; }
    bool SetProperty(std::string_view name, std::string_view value, TComponent* form) override;

protected:
    TOpenDialog() = default;
    bool Ask(bool save);

private:
    std::string m_fileName;
    std::string m_filter;
    int m_filterIndex = 1;
    std::string m_title;
    std::string m_initialDir;
    std::string m_defaultExt;
    TOpenOptions m_options = ofHideReadOnly | ofEnableSizing;
};

class PLATFORM_API TSaveDialog : public TOpenDialog {
    DECLARE_TCLASS(TSaveDialog)

    bool Execute() override;

protected:
    TSaveDialog() = default;
};
