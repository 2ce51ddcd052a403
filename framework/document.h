#pragma once
// Document/view base classes of the framework layer. A document owns its data
// and knows its views; views show it and are told when it changes.
#include "commands.h"

#include <string>
#include <vector>

class Document;

class View : public CommandTarget {
public:
    ~View() override;

    Document *GetDocument() const { return m_document; }
    // Called for every paint.
    virtual void OnDraw() {}
    // Reaction to Document::UpdateAllViews; the default repaints the view.
    virtual void OnUpdate(View *sender, long hint);
    // Schedules a repaint (with background erase); provided by the window.
    virtual void Invalidate() {}

private:
    friend class Document;
    Document *m_document = nullptr;
};

class Document : public CommandTarget {
public:
    ~Document() override;

    const std::string &GetTitle() const { return m_title; }
    void SetTitle(const std::string &title) { m_title = title; }
    const std::string &GetPathName() const { return m_pathName; }
    // Sets the full path and takes the title from the file's name.
    void SetPathName(const std::string &path);

    void AddView(View *view);
    void RemoveView(View *view);
    const std::vector<View *> &Views() const { return m_views; }

    // Tells every view except the sender; each reacts in its OnUpdate.
    void UpdateAllViews(View *sender, long hint = 0);

    // A new, unnamed document; false refuses it.
    virtual bool OnNewDocument() { return true; }
    // Opens the file; the base only checks that it can be read.
    virtual bool OnOpenDocument(const std::string &path);

private:
    std::string m_title;
    std::string m_pathName;
    std::vector<View *> m_views;
};
