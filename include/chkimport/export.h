/* What libchkimport.so exports: the classes and functions of these headers,
 * marked CHKIMPORT_API; everything else in the library is its own. */
#ifndef CHKIMPORT_EXPORT_H
#define CHKIMPORT_EXPORT_H

#if defined(__GNUC__) || defined(__clang__)
#define CHKIMPORT_API __attribute__((visibility("default")))
#else
#define CHKIMPORT_API
#endif

#endif
