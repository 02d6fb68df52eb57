/*
 * lan-browse: list or read one smb:// location through libsmbclient.
 *
 * The test LAN uses it to wait for the NetBIOS browse lists and to check
 * what the servers offer; developers use it to look at the LAN by hand:
 *
 *   tests/lan/exec $QVLAN_RUN/lan-browse smb://              workgroups
 *   tests/lan/exec $QVLAN_RUN/lan-browse smb://QVGROUP1      computers
 *   tests/lan/exec $QVLAN_RUN/lan-browse '\\QVHOST1'         shares
 *   tests/lan/exec $QVLAN_RUN/lan-browse -l '\\QVHOST1\public'
 *
 * Output: one entry per line, "TYPE<TAB>NAME<TAB>COMMENT" (the comment is
 * only filled at the workgroup, computer and share-list levels); with -l,
 * "TYPE<TAB>SIZE<TAB>MTIME<TAB>BTIME<TAB>ATTRS<TAB>NAME" from readdirplus2.
 * "." and ".." are left out.  Exit status: 0 listed, 1 failed (errno text on
 * stderr), 2 bad usage.
 *
 * One thread, one context, freed only at exit (see docs: libsmbclient keeps
 * process-wide state).
 */
#define _GNU_SOURCE
#include <libsmbclient.h>

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static const char *g_user = "";
static const char *g_pass = "";
static const char *g_wg = NULL;

static void auth_fn(SMBCCTX *c, const char *srv, const char *shr, char *wg,
                    int wglen, char *un, int unlen, char *pw, int pwlen)
{
    (void)c;
    (void)srv;
    (void)shr;
    if (g_wg)
        snprintf(wg, (size_t)wglen, "%s", g_wg);
    snprintf(un, (size_t)unlen, "%s", g_user);
    snprintf(pw, (size_t)pwlen, "%s", g_pass);
}

static const char *type_name(unsigned int t)
{
    switch (t) {
    case SMBC_WORKGROUP: return "workgroup";
    case SMBC_SERVER: return "server";
    case SMBC_FILE_SHARE: return "file-share";
    case SMBC_PRINTER_SHARE: return "printer-share";
    case SMBC_COMMS_SHARE: return "comms-share";
    case SMBC_IPC_SHARE: return "ipc-share";
    case SMBC_DIR: return "dir";
    case SMBC_FILE: return "file";
    case SMBC_LINK: return "link";
    default: return "unknown";
    }
}

/* Appends s to buf (capacity cap), percent-encoding every byte that is not
 * an unreserved URL character.  Returns 0, or -1 when it does not fit. */
static int append_encoded(char *buf, size_t cap, const char *s, size_t n)
{
    static const char hex[] = "0123456789ABCDEF";
    size_t len = strlen(buf);
    for (size_t i = 0; i < n; i++) {
        unsigned char ch = (unsigned char)s[i];
        int plain = (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') ||
                    (ch >= '0' && ch <= '9') || ch == '-' || ch == '.' ||
                    ch == '_' || ch == '~';
        if (len + (plain ? 1 : 3) + 1 > cap)
            return -1;
        if (plain) {
            buf[len++] = (char)ch;
        } else {
            buf[len++] = '%';
            buf[len++] = hex[ch >> 4];
            buf[len++] = hex[ch & 15];
        }
    }
    buf[len] = '\0';
    return 0;
}

/* Turns "\\HOST\share\a b" (or "\\" alone for the whole network) into an
 * smb:// URL; any other argument is taken as a URL already. */
static int to_url(const char *arg, char *out, size_t cap)
{
    if (strncmp(arg, "\\\\", 2) != 0) {
        if (strlen(arg) + 1 > cap)
            return -1;
        strcpy(out, arg);
        return 0;
    }
    snprintf(out, cap, "smb://");
    const char *p = arg + 2;
    int first = 1;
    while (*p) {
        const char *end = strchr(p, '\\');
        size_t n = end ? (size_t)(end - p) : strlen(p);
        if (n > 0) {
            if (!first) {
                size_t len = strlen(out);
                if (len + 2 > cap)
                    return -1;
                out[len] = '/';
                out[len + 1] = '\0';
            }
            if (append_encoded(out, cap, p, n) != 0)
                return -1;
            first = 0;
        }
        if (!end)
            break;
        p = end + 1;
    }
    return 0;
}

/* Number of path components after "smb://": 0 network, 1 workgroup or
 * computer, 2 or more share and below. */
static int url_depth(const char *url)
{
    const char *p = url;
    if (strncasecmp(p, "smb://", 6) == 0)
        p += 6;
    int depth = 0, in = 0;
    for (; *p && *p != '?'; p++) {
        if (*p == '/') {
            in = 0;
        } else if (!in) {
            in = 1;
            depth++;
        }
    }
    return depth;
}

/* strerror, except that a failure without an errno says so. */
static const char *why(int e)
{
    return e ? strerror(e) : "failed (no error code)";
}

static int g_long = 0;
static int g_recursive = 0;

static void print_ts(const struct timespec *ts)
{
    printf("%lld", (long long)ts->tv_sec);
}

static int list_dir(SMBCCTX *ctx, const char *url, const char *prefix)
{
    smbc_opendir_fn opendir_fn = smbc_getFunctionOpendir(ctx);
    smbc_readdir_fn readdir_fn = smbc_getFunctionReaddir(ctx);
    smbc_readdirplus2_fn readdirplus2_fn = smbc_getFunctionReaddirPlus2(ctx);
    smbc_closedir_fn closedir_fn = smbc_getFunctionClosedir(ctx);

    SMBCFILE *dir = opendir_fn(ctx, url);
    if (!dir) {
        int e = errno;
        fprintf(stderr, "lan-browse: %s: %s\n", url, why(e));
        return 1;
    }

    /* Names of sub-folders, collected for -r and walked after closedir so
     * that only one handle is open at a time. */
    char **subdirs = NULL;
    size_t nsub = 0;
    int rc = 0;

    for (;;) {
        const char *name;
        int is_dir;
        errno = 0;
        if (g_long) {
            struct stat st;
            const struct libsmb_file_info *fi = readdirplus2_fn(ctx, dir, &st);
            if (!fi)
                break;
            name = fi->name;
            if (!strcmp(name, ".") || !strcmp(name, ".."))
                continue;
            is_dir = (fi->attrs & 0x10) != 0;
            printf("%s\t%llu\t", is_dir ? "dir" : "file",
                   (unsigned long long)fi->size);
            print_ts(&fi->mtime_ts);
            putchar('\t');
            print_ts(&fi->btime_ts);
            printf("\t0x%02x\t%s%s\n", fi->attrs, prefix, name);
        } else {
            struct smbc_dirent *de = readdir_fn(ctx, dir);
            if (!de)
                break;
            name = de->name;
            if (!strcmp(name, ".") || !strcmp(name, ".."))
                continue;
            is_dir = de->smbc_type == SMBC_DIR;
            printf("%s\t%s%s\t%s\n", type_name(de->smbc_type), prefix, name,
                   de->comment ? de->comment : "");
        }
        if (g_recursive && is_dir) {
            char **grown = realloc(subdirs, (nsub + 1) * sizeof *subdirs);
            if (!grown) {
                rc = 1;
                break;
            }
            subdirs = grown;
            subdirs[nsub++] = strdup(name);
        }
    }
    if (errno != 0 && rc == 0) {
        fprintf(stderr, "lan-browse: %s: reading: %s\n", url, strerror(errno));
        rc = 1;
    }
    closedir_fn(ctx, dir);
    fflush(stdout);

    for (size_t i = 0; i < nsub; i++) {
        size_t cap = strlen(url) + 3 * strlen(subdirs[i]) + 2;
        char *sub = malloc(cap);
        size_t pcap = strlen(prefix) + strlen(subdirs[i]) + 2;
        char *subprefix = malloc(pcap);
        if (!sub || !subprefix) {
            rc = 1;
        } else {
            snprintf(sub, cap, "%s%s", url,
                     url[strlen(url) - 1] == '/' ? "" : "/");
            append_encoded(sub, cap, subdirs[i], strlen(subdirs[i]));
            snprintf(subprefix, pcap, "%s%s/", prefix, subdirs[i]);
            if (list_dir(ctx, sub, subprefix) != 0)
                rc = 1;
        }
        free(sub);
        free(subprefix);
        free(subdirs[i]);
    }
    free(subdirs);
    return rc;
}

static int cat_file(SMBCCTX *ctx, const char *url)
{
    smbc_open_fn open_fn = smbc_getFunctionOpen(ctx);
    smbc_read_fn read_fn = smbc_getFunctionRead(ctx);
    smbc_close_fn close_fn = smbc_getFunctionClose(ctx);

    SMBCFILE *f = open_fn(ctx, url, O_RDONLY, 0);
    if (!f) {
        fprintf(stderr, "lan-browse: %s: %s\n", url, why(errno));
        return 1;
    }
    static char buf[1 << 16];
    int rc = 0;
    for (;;) {
        ssize_t n = read_fn(ctx, f, buf, sizeof buf);
        if (n < 0) {
            fprintf(stderr, "lan-browse: %s: reading: %s\n", url,
                    strerror(errno));
            rc = 1;
            break;
        }
        if (n == 0)
            break;
        if (fwrite(buf, 1, (size_t)n, stdout) != (size_t)n) {
            rc = 1;
            break;
        }
    }
    close_fn(ctx, f);
    return rc;
}

static void usage(FILE *out)
{
    fprintf(out,
            "usage: lan-browse [-l] [-r] [-c] [-P MIN:MAX] [-U USER%%PASS] "
            "[-W WG] [-t MS] [-d N] URL|UNC\n"
            "  URL    smb://, smb://WORKGROUP, smb://HOST, smb://HOST/share/..."
            "\n  UNC    \\\\HOST\\share\\folder (turned into a URL, each part "
            "percent-encoded)\n"
            "  -l     long listing through readdirplus2 (share level and "
            "below):\n"
            "         TYPE SIZE MTIME BTIME ATTRS NAME, times in epoch "
            "seconds\n"
            "  -r     list sub-folders too (names relative to URL)\n"
            "  -c     write the file's content to stdout\n"
            "  -P     protocol range; default NT1:NT1 above share level, "
            "SMB2_02:SMB3 at\n"
            "         share level and below\n"
            "  -U     credentials (default: empty user and password)\n"
            "  -t     libsmbclient timeout in ms (default 10000)\n");
}

int main(int argc, char **argv)
{
    const char *proto = NULL;
    int timeout_ms = 10000;
    int debug = 0;
    int cat = 0;
    int opt;

    while ((opt = getopt(argc, argv, "lrcP:U:W:t:d:h")) != -1) {
        switch (opt) {
        case 'l': g_long = 1; break;
        case 'r': g_recursive = 1; break;
        case 'c': cat = 1; break;
        case 'P': proto = optarg; break;
        case 'U': {
            char *pct = strchr(optarg, '%');
            if (pct) {
                *pct = '\0';
                g_pass = pct + 1;
            }
            g_user = optarg;
            break;
        }
        case 'W': g_wg = optarg; break;
        case 't': timeout_ms = atoi(optarg); break;
        case 'd': debug = atoi(optarg); break;
        case 'h': usage(stdout); return 0;
        default: usage(stderr); return 2;
        }
    }
    if (optind != argc - 1) {
        usage(stderr);
        return 2;
    }

    char url[4096];
    if (to_url(argv[optind], url, sizeof url) != 0) {
        fprintf(stderr, "lan-browse: argument too long\n");
        return 2;
    }

    char pmin[32], pmax[32];
    if (proto) {
        const char *colon = strchr(proto, ':');
        if (!colon || colon == proto || !colon[1] ||
            (size_t)(colon - proto) >= sizeof pmin ||
            strlen(colon + 1) >= sizeof pmax) {
            fprintf(stderr, "lan-browse: -P wants MIN:MAX, e.g. NT1:NT1\n");
            return 2;
        }
        memcpy(pmin, proto, (size_t)(colon - proto));
        pmin[colon - proto] = '\0';
        strcpy(pmax, colon + 1);
    } else if (url_depth(url) >= 2) {
        strcpy(pmin, "SMB2_02");
        strcpy(pmax, "SMB3");
    } else {
        strcpy(pmin, "NT1");
        strcpy(pmax, "NT1");
    }
    if ((g_long || cat) && url_depth(url) < 2) {
        fprintf(stderr, "lan-browse: -l and -c need a share URL\n");
        return 2;
    }

    SMBCCTX *ctx = smbc_new_context();
    if (!ctx) {
        perror("lan-browse: smbc_new_context");
        return 1;
    }
    smbc_setDebug(ctx, debug);
    smbc_setOptionDebugToStderr(ctx, 1);
    smbc_setOptionUseCCache(ctx, 0);
    smbc_setOptionUseKerberos(ctx, 0);
    smbc_setOptionFallbackAfterKerberos(ctx, 1);
    smbc_setTimeout(ctx, timeout_ms);
    smbc_setFunctionAuthDataWithContext(ctx, auth_fn);
    if (!smbc_init_context(ctx)) {
        perror("lan-browse: smbc_init_context");
        smbc_free_context(ctx, 1);
        return 1;
    }
    if (!smbc_setOptionProtocols(ctx, pmin, pmax)) {
        fprintf(stderr, "lan-browse: bad protocol range %s:%s\n", pmin, pmax);
        smbc_free_context(ctx, 1);
        return 2;
    }

    int rc = cat ? cat_file(ctx, url) : list_dir(ctx, url, "");
    fflush(stdout);
    smbc_free_context(ctx, 1);
    return rc;
}
