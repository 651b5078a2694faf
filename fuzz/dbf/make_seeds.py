"""Builds seed inputs for dbf_open_fuzz: [u32 dbf length][u32 dbt length][dbf][dbt][mdx].

Usage: python3 make_seeds.py OUT_DIR [DBFTOOL [DBF_TEST_WORKER]]
Takes the shared sample tables (when the folder exists) and, with dbftool, a few tables of our own with
memo files and production indexes; with the test worker, one of them gets records.
"""
import os
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SAMPLES = os.path.normpath(os.path.join(HERE, '..', '..', '..', 'shared', 'fixtures', 'dbase'))


def companion(path, ext):
    folder, name = os.path.split(path)
    stem = os.path.splitext(name)[0].lower()
    for entry in os.listdir(folder):
        if entry.lower() == stem + ext:
            return os.path.join(folder, entry)
    return None


def read(path):
    if not path:
        return b''
    with open(path, 'rb') as f:
        return f.read()


def seed(out_dir, name, dbf_path):
    dbf = read(dbf_path)
    dbt = read(companion(dbf_path, '.dbt'))
    mdx = read(companion(dbf_path, '.mdx'))
    if len(dbf) + len(dbt) + len(mdx) > 60000:
        dbt = dbt[:20000]
    with open(os.path.join(out_dir, name), 'wb') as f:
        f.write(struct.pack('<II', len(dbf), len(dbt)) + dbf + dbt + mdx)


def main():
    out_dir = sys.argv[1]
    os.makedirs(out_dir, exist_ok=True)
    if os.path.isdir(SAMPLES):
        for root, _, files in os.walk(SAMPLES):
            for name in files:
                if name.lower().endswith('.dbf'):
                    seed(out_dir, 'sample-' + name, os.path.join(root, name))
    if len(sys.argv) > 2:
        tool = sys.argv[2]
        with tempfile.TemporaryDirectory() as tmp:
            specs = [('ped.dbf', 'C_PED:N:8:0,X_APE1:C:15,F_PED:D,M_ENV:L,X_OBS:M,B_IMG:B', ['C_PED', 'X_APE1', 'F_PED']),
                     ('sec.dbf', 'C_SEC:C:10,N_SEC:N:10:0', ['C_SEC']),
                     ('l7.dbf', 'C:C:5,N:N:6:2', [])]
            for name, fields, tags in specs:
                path = os.path.join(tmp, name)
                cmd = [tool, 'create', path, '--fields', fields]
                if tags:
                    cmd += ['--tag'] + tags
                subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL)
                if name == 'ped.dbf' and len(sys.argv) > 3:
                    filled = os.path.join(tmp, 'work.dbf')
                    subprocess.run([tool, 'create', filled, '--fields', 'WORKER:N:4:0,SEQ:N:6:0,NUM:N:8:0,NOTE:M',
                                    '--tag', 'WORKER', 'SEQ'], check=True, stdout=subprocess.DEVNULL)
                    subprocess.run([sys.argv[3], 'mixed', filled, filled, '1', '40', '0'], check=True,
                                   stdout=subprocess.DEVNULL)
                    seed(out_dir, 'own-work.dbf', filled)
                seed(out_dir, 'own-' + name, path)


main()
