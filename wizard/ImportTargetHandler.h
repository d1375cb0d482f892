#pragma once
#include <QString>

// Whoever opened the wizard to import into something of their own: asked
// once before a run and told after each item. The wizard keeps no target of
// its own; the start-up passes none.
class ImportTargetHandler
{
public:
    virtual ~ImportTargetHandler() = default;
    // False cancels the run before it starts.
    virtual bool BeginImport() = 0;
    // `path` is the item's audio file, `cart` the cart it went into. False
    // ends a file import run; the CD run goes on regardless.
    virtual bool ItemImported(const QString& path, const QString& cart) = 0;
};
