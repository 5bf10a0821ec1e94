-- Registers the central server itself as a client when no client is known yet.
INSERT INTO dbo.ExecutedScripts (name) VALUES (N'0001_seed_clients.sql');
IF NOT EXISTS (SELECT 1 FROM dbo.APP_Client) INSERT INTO dbo.APP_Client (name, lastSeen) VALUES (N'corehub', GETDATE());
INSERT INTO dbo.APP_Client (name) VALUES (N'unreachable-client');
GO
